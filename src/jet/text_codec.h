// Text as Jet stores it, decoded to UTF-16.
//
// Jet 4: UCS-2 little-endian, or its compressed form: the bytes FF FE, then runs that
// alternate between one byte per character (high byte zero) and two bytes per character,
// each 00 byte switching from one run kind to the other. The first run is one-byte.
//
// Jet 3: one byte per character in the database's code page.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vintrel::jet {

std::u16string DecodeJet4Text(std::span<const uint8_t> bytes);

// Code pages 1251 and 1252 have their own tables; any other is read as 1252, the code page
// of nearly every Jet 3 file.
std::u16string DecodeCodePageText(std::span<const uint8_t> bytes, uint16_t code_page);

}  // namespace vintrel::jet

namespace vintrel::jet {

// How one database stores text: chosen once from the database definition page.
struct TextEncoding {
  bool ucs2;           // Jet 4
  uint16_t code_page;  // Jet 3

  std::u16string Decode(std::span<const uint8_t> bytes) const {
    return ucs2 ? DecodeJet4Text(bytes) : DecodeCodePageText(bytes, code_page);
  }
};

}  // namespace vintrel::jet
