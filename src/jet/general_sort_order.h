// The General text sort order of Jet 4 databases (sort order 1033, version 0: "General" in
// Access 2000 to 2007, "General - Legacy" from Access 2010 on), as index keys use it.
//
// Each character contributes, by kind:
//   ignored        nothing
//   simple         sort bytes to the key
//   international  sort bytes, and accent bytes to the key's accent part
//   unprintable    a code to the key's unprintable part, at the character's position
//   modifier       a value added to the accent byte of the character before (combining marks)
// See index_key.cc for how the parts are put together.
#pragma once

#include <array>
#include <cstdint>

namespace vintrel::jet {

struct SortCode {
  enum class Kind : uint8_t { kIgnored, kSimple, kInternational, kUnprintable, kModifier };
  Kind kind;
  uint8_t sort_size;   // simple, international: the first bytes are the sort bytes
  uint8_t extra_size;  // international: accent bytes; unprintable: its code; modifier: 1
  std::array<uint8_t, 4> bytes;
};

// The table covers U+0000 to U+052F (Latin, IPA, combining marks, Greek, Cyrillic) and
// U+2000 to U+215F (punctuation, super- and subscripts, currency, letterlike symbols): every
// character of the Windows code pages 1250, 1251, 1252, 1253, 1254 and 1257.
inline constexpr const char* kGeneralSortOrderCoverage = "U+0000 to U+052F and U+2000 to U+215F";

// The code of `c`; nullptr when the table does not cover `c`.
const SortCode* FindGeneralSortCode(char16_t c);

}  // namespace vintrel::jet
