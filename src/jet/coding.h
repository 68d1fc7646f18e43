// Bounds-checked little-endian reads over a region of a page (or of bytes assembled from
// pages), and the stores the builders use. Every structure of the format is read through a
// ByteView, never through pointer casts, so a field that lies outside its region raises a
// JetError naming the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "jet/jet_error.h"

namespace vintrel::jet {

class ByteView {
 public:
  ByteView() = default;
  // `structure` is a static description ("data page", "table definition") used in errors.
  ByteView(std::span<const uint8_t> bytes, const char* structure, uint32_t page)
      : bytes_(bytes), structure_(structure), page_(page) {}

  size_t size() const { return bytes_.size(); }
  std::span<const uint8_t> bytes() const { return bytes_; }
  const char* structure() const { return structure_; }
  uint32_t page() const { return page_; }

  uint8_t U8(size_t offset) const { return bytes_[Check(offset, 1)]; }
  uint16_t U16(size_t offset) const { return static_cast<uint16_t>(Little(offset, 2)); }
  uint32_t U24(size_t offset) const { return static_cast<uint32_t>(Little(offset, 3)); }
  uint32_t U32(size_t offset) const { return static_cast<uint32_t>(Little(offset, 4)); }
  uint64_t U64(size_t offset) const { return Little(offset, 8); }
  // Index keys and their row pointers are stored most significant byte first.
  uint32_t BigU24(size_t offset) const { return static_cast<uint32_t>(Big(offset, 3)); }
  uint32_t BigU32(size_t offset) const { return static_cast<uint32_t>(Big(offset, 4)); }

  double F64(size_t offset) const {
    uint64_t bits = U64(offset);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  float F32(size_t offset) const {
    uint32_t bits = U32(offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  ByteView Sub(size_t offset, size_t length) const {
    return ByteView(bytes_.subspan(Check(offset, length), length), structure_, page_);
  }

  [[noreturn]] void Fail(const std::string& detail) const {
    RaiseDamaged(structure_, page_, detail);
  }

 private:
  size_t Check(size_t offset, size_t length) const {
    if (offset > bytes_.size() || length > bytes_.size() - offset) [[unlikely]] FailOutside(offset, length);
    return offset;
  }
  // Kept out of line, so that Check, on every read, stays small enough to be inlined.
  [[noreturn, gnu::cold, gnu::noinline]] void FailOutside(size_t offset, size_t length) const {
    Fail(std::to_string(length) + " bytes at offset " + std::to_string(offset) + " lie outside its " +
         std::to_string(bytes_.size()) + " bytes");
  }
  uint64_t Little(size_t offset, size_t width) const {
    Check(offset, width);
    uint64_t value = 0;
    for (size_t i = width; i-- > 0;) value = (value << 8) | bytes_[offset + i];
    return value;
  }
  uint64_t Big(size_t offset, size_t width) const {
    Check(offset, width);
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) value = (value << 8) | bytes_[offset + i];
    return value;
  }

  std::span<const uint8_t> bytes_;
  const char* structure_ = "";
  uint32_t page_ = 0;
};

// Little- and big-endian stores into a page being built. The builders size their buffers
// before storing, so an out-of-range store is a bug in the builder, caught by the span's
// own bounds in debug builds and by the round-trip tests.
inline void PutU16(std::span<uint8_t> out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void PutU32(std::span<uint8_t> out, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Index entries store row pointers and child pages most significant byte first.
inline void PutBigU24(std::span<uint8_t> out, size_t at, uint32_t value) {
  for (size_t i = 0; i < 3; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * (2 - i)));
}

inline void PutBigU32(std::span<uint8_t> out, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * (3 - i)));
}

// A row pointer as tables and long values store it: page in the high 24 bits, row in the low 8.
inline uint32_t PackRowPointer(uint32_t page, uint8_t row) { return (page << 8) | row; }

}  // namespace vintrel::jet
