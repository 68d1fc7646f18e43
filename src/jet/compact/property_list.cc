// The list is rewritten chunk by chunk and property by property, each length recomputed from
// what is written; only names and text values change size.
#include "jet/compact/property_list.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/coding.h"
#include "jet/format.h"
#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {
constexpr uint8_t kJet3Signature[4] = {'K', 'K', 'D', 0};
constexpr uint8_t kJet4Signature[4] = {'M', 'R', '2', 0};
constexpr uint16_t kNamesChunk = 0x80;
constexpr size_t kChunkHeader = 6;
constexpr size_t kPropertyHeader = 8;

class ListWriter {
 public:
  ListWriter(std::span<const uint8_t> jet3, const TextEncoding& text) : in_(jet3), text_(text) {}

  std::vector<uint8_t> Run() {
    out_.assign(std::begin(kJet4Signature), std::end(kJet4Signature));
    for (size_t at = sizeof kJet3Signature; at < in_.size();) {
      const uint32_t length = U32(at);
      const uint16_t kind = U16(at + 4);
      if (length < kChunkHeader || length > in_.size() - at) Fail();
      const size_t start = Reserve(kChunkHeader);
      PutU16(out_, start + 4, kind);
      if (kind == kNamesChunk) {
        Names(at + kChunkHeader, at + length);
      } else {
        Values(at + kChunkHeader, at + length);
      }
      PutU32(out_, start, static_cast<uint32_t>(out_.size() - start));
      at += length;
    }
    return std::move(out_);
  }

 private:
  [[noreturn]] void Fail() const {
    throw UnsupportedError(
        "A property list (MSysObjects.LvProp) is not laid out as Jet 3 lays them out, or holds "
        "text too long for Jet 4's.");
  }
  void Need(size_t at, size_t count, size_t end) const {
    if (at > end || count > end - at) Fail();
  }
  uint16_t U16(size_t at) const {
    Need(at, 2, in_.size());
    return static_cast<uint16_t>(in_[at] | in_[at + 1] << 8);
  }
  uint32_t U32(size_t at) const { return U16(at) | static_cast<uint32_t>(U16(at + 2)) << 16; }
  size_t Reserve(size_t count) {
    out_.resize(out_.size() + count);
    return out_.size() - count;
  }
  // A 2-byte length and the text, as UCS-2; text too long for that length is refused.
  void Text(size_t at, size_t length) {
    const std::u16string text = text_.DecodeExactly(in_.subspan(at, length));
    if (2 * text.size() > UINT16_MAX) Fail();
    const size_t start = Reserve(2 + 2 * text.size());
    PutU16(out_, start, static_cast<uint32_t>(2 * text.size()));
    for (size_t i = 0; i < text.size(); ++i) PutU16(out_, start + 2 + 2 * i, text[i]);
  }

  void Names(size_t at, size_t end) {
    while (at < end) {
      const uint16_t length = U16(at);
      Need(at + 2, length, end);
      Text(at + 2, length);
      at += 2 + length;
    }
  }

  void Values(size_t at, size_t end) {
    const uint32_t header = U32(at);
    const uint16_t name_length = U16(at + 4);
    if (header != 6u + name_length) Fail();
    Need(at, header, end);
    const size_t start = Reserve(4);
    Text(at + 6, name_length);
    PutU32(out_, start, static_cast<uint32_t>(out_.size() - start));
    for (at += header; at < end;) {
      const uint16_t length = U16(at);
      Need(at, std::max<size_t>(length, kPropertyHeader), end);
      const uint8_t type = in_[at + 3];
      const uint16_t value_length = U16(at + 6);
      if (kPropertyHeader + value_length != length) Fail();
      const size_t property = Reserve(kPropertyHeader - 2);
      std::copy_n(in_.begin() + static_cast<ptrdiff_t>(at), kPropertyHeader - 2,
                  out_.begin() + static_cast<ptrdiff_t>(property));
      if (type == static_cast<uint8_t>(ColumnType::kText) ||
          type == static_cast<uint8_t>(ColumnType::kMemo)) {
        Text(at + kPropertyHeader, value_length);
      } else {
        const size_t value = Reserve(2 + value_length);
        PutU16(out_, value, value_length);
        std::copy_n(in_.begin() + static_cast<ptrdiff_t>(at + kPropertyHeader), value_length,
                    out_.begin() + static_cast<ptrdiff_t>(value + 2));
      }
      if (out_.size() - property > UINT16_MAX) Fail();
      PutU16(out_, property, static_cast<uint32_t>(out_.size() - property));
      at += length;
    }
  }

  std::span<const uint8_t> in_;
  const TextEncoding& text_;
  std::vector<uint8_t> out_;
};

}  // namespace

bool HoldsPropertyLists(const TableDefinition& table, const Column& column) {
  return table.page == kCatalogPage && column.name == u"LvProp";
}

bool IsJet3PropertyList(std::span<const uint8_t> value) {
  return value.size() >= sizeof kJet3Signature &&
         std::memcmp(value.data(), kJet3Signature, sizeof kJet3Signature) == 0;
}

std::vector<uint8_t> Jet4PropertyList(std::span<const uint8_t> jet3, const TextEncoding& text) {
  return ListWriter(jet3, text).Run();
}

}  // namespace vintrel::jet
