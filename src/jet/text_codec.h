// Text as Jet stores it, decoded to UTF-16.
//
// Jet 4: UCS-2 little-endian, or its compressed form: the bytes FF FE, then runs that
// alternate between one byte per character (high byte zero) and two bytes per character,
// each 00 byte switching from one run kind to the other. The first run is one-byte.
//
// Jet 3: bytes in the Windows code page the database definition page names. In the
// double-byte code pages (932, 936, 949, 950) a lead byte and the byte after it are one
// character; every other byte is a character by itself.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vintrel::jet {

// True for Jet 4 text stored in the compressed form (it starts with FF FE).
bool IsCompressedJet4Text(std::span<const uint8_t> bytes);

// Calls `each` with the characters of stored Jet 4 text, plain or compressed, at most `limit`
// of them, without building a string. A trailing odd byte carries no character.
template <typename Each>
void ForEachJet4Character(std::span<const uint8_t> bytes, size_t limit, Each each) {
  const bool compressed = IsCompressedJet4Text(bytes);
  bool one_byte = compressed;
  size_t count = 0;
  for (size_t i = compressed ? 2 : 0; i < bytes.size() && count < limit;) {
    if (compressed && bytes[i] == 0) {
      // A compressed string holds no character with a zero low byte, so 00 can only be
      // the switch between the run kinds.
      one_byte = !one_byte;
      ++i;
    } else if (one_byte) {
      each(static_cast<char16_t>(bytes[i]));
      ++i;
      ++count;
    } else if (bytes.size() - i >= 2) {
      each(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
      i += 2;
      ++count;
    } else {
      break;
    }
  }
}

std::u16string DecodeJet4Text(std::span<const uint8_t> bytes);

// How Jet 4 stores `text`: in the compressed form when `compress` allows it and that form
// is shorter, as UCS-2 otherwise. Text holding a character with a zero low byte cannot be
// compressed (its zero would read as a switch between runs).
std::vector<uint8_t> EncodeJet4Text(std::u16string_view text, bool compress);

class CodePageDecoder;

// How one database stores text: chosen once when the database is opened. Not safe for
// concurrent use, like the rest of a Database.
class TextEncoding {
 public:
  // Jet 4 text.
  TextEncoding();
  // Jet 3 text in a Windows ANSI code page: 874, 932, 936, 949, 950 or 1250 to 1258, decoded
  // by the system's own conversion (code_page.h). Raises JetError naming the code page for
  // any other, or when the system has no conversion for it.
  explicit TextEncoding(uint16_t code_page);
  TextEncoding(TextEncoding&&) noexcept;
  TextEncoding& operator=(TextEncoding&&) noexcept;
  ~TextEncoding();

  std::u16string Decode(std::span<const uint8_t> bytes) const;
  // As Decode, but raises a JetError where Decode would read a byte the code page leaves
  // undefined as U+FFFD: for text that is to be stored again, which must lose nothing.
  std::u16string DecodeExactly(std::span<const uint8_t> bytes) const;
  // True for Jet 4 text, which is stored in UTF-16 already.
  bool unicode() const { return code_page_ == nullptr; }

 private:
  std::unique_ptr<CodePageDecoder> code_page_;  // null for Jet 4
};

}  // namespace vintrel::jet
