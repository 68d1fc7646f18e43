// The General text sort order of Jet 4 databases (sort order 1033, version 0: "General" in
// Access 2000 to 2007, "General - Legacy" from Access 2010 on), as index keys use it.
//
// Each character contributes, by kind:
//   ignored        nothing
//   simple         sort bytes to the key
//   international  sort bytes, and accent bytes to the key's accent part
//   unprintable    a code to the key's unprintable part, at the character's position
//   modifier       a value added to the accent byte of the character before (combining marks)
//   kana           sort bytes, accent bytes if it has any (voicing marks), and a mark of its
//                  size (small or not) to the key's kana part
// See index_key.cc for how the parts are put together.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace vintrel::jet {

struct SortCode {
  enum class Kind : uint8_t { kIgnored, kSimple, kInternational, kUnprintable, kModifier, kKana };
  Kind kind;
  uint8_t sort_size;   // simple, international, kana: the first bytes are the sort bytes
  uint8_t extra_size;  // international, kana: accent bytes; unprintable: its code; modifier: 1
  bool small;          // kana: a small form (as ぁ beside あ)
  std::array<uint8_t, 4> bytes;
};

// Every character of the Basic Multilingual Plane has a code (general_sort_order_table.h) but
// the surrogates, halves of the characters beyond it, which have none.
inline constexpr const char* kGeneralSortOrderCoverage =
    "the Basic Multilingual Plane (U+0000 to U+FFFF, less the surrogates U+D800 to U+DFFF)";

// The code of `c`; none for a surrogate.
std::optional<SortCode> FindGeneralSortCode(char16_t c);

}  // namespace vintrel::jet
