// Little- and big-endian stores into a page being built. The builders size their buffers
// before storing, so an out-of-range store is a bug in the builder, caught by the span's
// own bounds in debug builds and by the round-trip tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vintrel::jet {

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
