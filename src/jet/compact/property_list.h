// Property lists: the design properties (defaults, captions, formats, column widths) that
// MSysObjects.LvProp holds for each object, as a long value. Jet 3 and Jet 4 lay them out
// alike and store their text as they store all text:
//
//   "KKD\0" (Jet 3) or "MR2\0" (Jet 4), then chunks: (4) length, itself included | (2) kind
//   kind 0x80, the names:    each (2) length | name
//   kind 0x00 (the object) and 0x01 (one of its columns):
//                            (4) header length, itself included | (2) length | the column's name
//                            then properties, each (2) length, itself included | (1) DDL flag
//                            | (1) type (a ColumnType) | (2) index of its name | (2) length | value
//
// Names, and values of type Text or Memo, are code-page bytes in Jet 3 and UCS-2 in Jet 4.
// Facts from mdbtools' HACKING.md, checked against every list in the fixture corpus.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/pages/table_definition.h"
#include "jet/text_codec.h"

namespace vintrel::jet {

// The catalog's column that holds property lists.
bool HoldsPropertyLists(const TableDefinition& table, const Column& column);

bool IsJet3PropertyList(std::span<const uint8_t> value);

// The Jet 4 form of a Jet 3 property list, its text decoded with `text`. Raises
// UnsupportedError for a list whose lengths do not add up, or whose text would not fit Jet 4's
// 2-byte lengths as UCS-2, which could not be converted without losing what it holds.
std::vector<uint8_t> Jet4PropertyList(std::span<const uint8_t> jet3, const TextEncoding& text);

}  // namespace vintrel::jet
