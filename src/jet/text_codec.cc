// Jet 4 text, plain or compressed, is decoded here directly. Jet 3 text goes through the
// system's own code-page conversion (code_page.h). Bytes the code page
// leaves undefined, and an unfinished double-byte character, are read as characters instead of
// raising an error, so one bad value does not stop a read.
#include "jet/text_codec.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <iterator>

#include "jet/code_page.h"
#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {

// The code pages Windows names as a system's ANSI code page, which is what Jet writes in the
// database definition page.
constexpr uint16_t kAnsiCodePages[] = {874,  932,  936,  949,  950,  1250, 1251,
                                       1252, 1253, 1254, 1255, 1256, 1257, 1258};

std::string SupportedList() {
  std::string list;
  for (uint16_t code_page : kAnsiCodePages) {
    if (!list.empty()) list += code_page == std::end(kAnsiCodePages)[-1] ? " and " : ", ";
    list += std::to_string(code_page);
  }
  return list;
}

}  // namespace

bool IsCompressedJet4Text(std::span<const uint8_t> bytes) {
  return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
}

std::u16string DecodeJet4Text(std::span<const uint8_t> bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  ForEachJet4Character(bytes, SIZE_MAX, [&text](char16_t c) { text.push_back(c); });
  return text;
}

std::vector<uint8_t> EncodeJet4Text(std::u16string_view text, bool compress) {
  auto one_byte = [](char16_t c) { return c <= 0xFF; };
  compress = compress && std::none_of(text.begin(), text.end(),
                                      [](char16_t c) { return (c & 0xFF) == 0; });
  std::vector<uint8_t> out;
  if (compress) {
    // Runs start in one-byte mode. A run of one-byte characters among two-byte ones is
    // stored in one-byte mode only when that saves more than its two switch bytes cost.
    out = {0xFF, 0xFE};
    bool in_one_byte = true;
    for (size_t i = 0; i < text.size();) {
      size_t end = i;
      while (end < text.size() && one_byte(text[end]) == one_byte(text[i])) ++end;
      const size_t switches = (i > 0 ? 1 : 0) + (end < text.size() ? 1 : 0);
      const bool as_one_byte = one_byte(text[i]) && (in_one_byte || end - i > switches);
      if (as_one_byte != in_one_byte) {
        out.push_back(0);
        in_one_byte = as_one_byte;
      }
      for (; i < end; ++i) {
        out.push_back(static_cast<uint8_t>(text[i]));
        if (!in_one_byte) out.push_back(static_cast<uint8_t>(text[i] >> 8));
      }
    }
    if (out.size() < 2 * text.size()) return out;
    out.clear();
  }
  out.reserve(2 * text.size());
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

// Each byte's meaning on its own is learnt from the converter once, when the database is
// opened, so that decoding is a table lookup, and only a lead byte and its trail byte go
// through the converter again. Byte by byte is also the code page's own reading: glibc's
// CP1255 and CP1258 join a letter and the accent after it into one precomposed character
// when given whole strings, which would change the text's length and its index keys.
class CodePageDecoder {
 public:
  explicit CodePageDecoder(uint16_t code_page);

  // False in `exact` when a byte was read as U+FFFD.
  std::u16string Decode(std::span<const uint8_t> bytes, bool& exact) const;
  uint16_t code_page() const { return code_page_; }

 private:
  using Outcome = CodePageConverter::Outcome;

  uint16_t code_page_;
  std::unique_ptr<CodePageConverter> converter_;
  std::array<char16_t, 256> single_{};  // each byte that is a character by itself
  std::bitset<256> lead_;               // bytes that take the next byte as their trail byte
  std::bitset<256> lost_;               // bytes read as U+FFFD
};

CodePageDecoder::CodePageDecoder(uint16_t code_page) : code_page_(code_page) {
  if (std::find(std::begin(kAnsiCodePages), std::end(kAnsiCodePages), code_page) ==
      std::end(kAnsiCodePages)) {
    throw JetError(InCodePage(code_page) +
                   " is not supported: Jet 3 text is read in the Windows code pages " +
                   SupportedList() + ".");
  }
  converter_ = std::make_unique<CodePageConverter>(code_page);
  for (size_t byte = 0; byte < single_.size(); ++byte) {
    const uint8_t one[1] = {static_cast<uint8_t>(byte)};
    std::u16string text;
    switch (converter_->Convert(one, text)) {
      case Outcome::kCharacter:
        if (text.size() != 1) {
          throw JetError(InCodePage(code_page) + " cannot be decoded: the system reads byte " +
                         std::to_string(byte) + " as " + std::to_string(text.size()) +
                         " UTF-16 units.");
        }
        single_[byte] = text[0];
        break;
      case Outcome::kIncomplete:
        lead_.set(byte);
        break;
      case Outcome::kUndefined:
        // Windows reads the undefined bytes 80..9F as the C1 controls U+0080..U+009F; the
        // others it maps to private-use characters of its own, which we do not copy.
        single_[byte] = byte >= 0x80 && byte <= 0x9F ? static_cast<char16_t>(byte) : u'\uFFFD';
        lost_.set(byte, single_[byte] == u'\uFFFD');
        break;
    }
  }
}

std::u16string CodePageDecoder::Decode(std::span<const uint8_t> bytes, bool& exact) const {
  std::u16string text;
  text.reserve(bytes.size());
  exact = true;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (!lead_.test(bytes[i])) {
      text.push_back(single_[bytes[i]]);
      if (lost_.test(bytes[i])) exact = false;
    } else {
      // A lead byte with no trail byte, or a pair the code page leaves undefined, is one
      // unreadable character.
      if (i + 1 == bytes.size() || converter_->Convert(bytes.subspan(i, 2), text) != Outcome::kCharacter) {
        text.push_back(u'\uFFFD');
        exact = false;
      }
      ++i;
    }
  }
  return text;
}

TextEncoding::TextEncoding() = default;
TextEncoding::TextEncoding(uint16_t code_page)
    : code_page_(std::make_unique<CodePageDecoder>(code_page)) {}
TextEncoding::TextEncoding(TextEncoding&&) noexcept = default;
TextEncoding& TextEncoding::operator=(TextEncoding&&) noexcept = default;
TextEncoding::~TextEncoding() = default;

std::u16string TextEncoding::Decode(std::span<const uint8_t> bytes) const {
  bool exact;
  return code_page_ ? code_page_->Decode(bytes, exact) : DecodeJet4Text(bytes);
}

std::u16string TextEncoding::DecodeExactly(std::span<const uint8_t> bytes) const {
  if (!code_page_) return DecodeJet4Text(bytes);
  bool exact;
  std::u16string text = code_page_->Decode(bytes, exact);
  if (!exact) {
    throw UnsupportedError(InCodePage(code_page_->code_page()) +
                           " holds a byte the code page leaves undefined; such text is not supported.");
  }
  return text;
}

}  // namespace vintrel::jet
