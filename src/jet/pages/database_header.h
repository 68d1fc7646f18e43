// The database definition page (page 0).
//
//   0x00  1  page type 0x00
//   0x04 16  "Standard Jet DB\0"
//   0x14  1  version: 0 = Jet 3 (2 KB pages), 1 = Jet 4 (4 KB pages), 2+ = newer formats
//   0x18 ..  masked area, 126 (Jet 3) or 128 (Jet 4) bytes, RC4 with key 0x6B39DAC7:
//     0x3A  2  sort order (Jet 3)
//     0x3C  2  code page
//     0x3E  4  database key; non-zero means pages 1.. are RC4-encoded with key ^ page
//     0x42 20/40 database password; in Jet 4 each 4-byte group is further XORed with the
//              integer part of the creation date, so an empty password reads as that mask
//     0x6E  4  sort order (Jet 4)
//     0x72  8  creation date (Jet 4), a Date/Time double
//   0x98  8  (Jet 4) 1620 and "4.0"
//   the last 512 bytes: a structure of unknown meaning, laid out alike in both versions
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "jet/format.h"
#include "jet/io/page_source.h"

namespace vintrel::jet {

struct DatabaseHeader {
  const Format* format;
  uint16_t code_page;
  uint32_t sort_order;
  uint32_t database_key;
  bool has_password;
};

// Raises "Unrecognized database format '<path>'." for anything but a Jet 3 or Jet 4 file.
DatabaseHeader ReadDatabaseHeader(const PageSource& source, const std::string& path);

// `page`, a definition page as stored, with the database key cleared: the page of a copy
// whose other pages are stored plain.
std::vector<uint8_t> PlainDefinitionPage(std::span<const uint8_t> page, const Format& format);

// The definition page of a Jet 4 copy of a Jet 3 database, from the source's page as stored:
// its code page, no database key, no password, the General sort order and `created` (a
// Date/Time value) as the creation date; the other fields as Jet 4 writes them. The source
// must have no password.
std::vector<uint8_t> Jet4DefinitionPage(std::span<const uint8_t> jet3_page, double created);

}  // namespace vintrel::jet
