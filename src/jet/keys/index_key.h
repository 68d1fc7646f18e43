// Jet 4 index keys computed from a row's values. A key is the concatenation of one segment
// per index column, in the index's column order; keys sort as plain bytes.
//
//   segment:  flag | value bytes
//     flag 0x7F ascending, 0x80 descending; a null is the flag 0x00 (ascending) or 0xFF
//     (descending) alone. Descending segments store the value bytes complemented.
//   Byte                the byte
//   Integer, Long, Currency
//                       big-endian, sign bit flipped
//   Float, Double, Date/Time
//                       big-endian; non-negative: sign bit flipped; negative: all bits
//                       complemented (so that more negative sorts lower)
//   Boolean             never null: 0x00 for true, 0xFF for false (ascending)
//   Decimal             the sign byte (0x80 negative) and the 128-bit magnitude, big-endian;
//                       negative values complemented when ascending, non-negative when
//                       descending, then the first byte set to 0xFF (non-negative) or 0x00
//                       (negative): Jet 4's own order, which misplaces descending values
//   Binary, GUID        8-byte groups each followed by 0x09 while more follow; the last
//                       group zero-padded and followed by its length (1..8). Descending
//                       complements the data bytes and the last length, not the 0x09s.
//                       A GUID is taken in its text order (first three groups big-endian).
//   Text, Memo          the General sort order (general_sort_order.h) of the first 255
//                       characters less the spaces (U+0020) that then end them, then 0x00
//                       (descending: the sort bytes and a 0x00 complemented, then 0x00)
//
// Facts from mdbtools' HACKING.md and the open-source Jackcess library's index code, checked
// against every key of every Jet 4 database in the fixture corpus (see docs/jet-format.md).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/pages/field.h"
#include "jet/pages/table_definition.h"

namespace vintrel::jet {

// Computes the keys of one index. Keeps scratch buffers: use one encoder per thread.
class IndexKeyEncoder {
 public:
  // Raises a JetError naming the column when a column's type, or a text column's sort
  // order, has no key encoding here.
  IndexKeyEncoder(const TableDefinition& table, const RealIndex& index);

  // The key of a row given as TableReader's fields (one per column of the definition).
  // Reuses `key`'s storage. Raises a JetError for text holding a character the General sort
  // order table does not cover (a surrogate).
  void Encode(const std::vector<Field>& row, std::vector<uint8_t>& key);
  // True when every column of the key is null in `row`; a Boolean never is.
  bool AllNull(const std::vector<Field>& row) const;

 private:
  struct Part {
    size_t field;  // index into the row's fields
    uint8_t type;
    bool ascending;
  };

  void AppendText(const std::vector<uint8_t>& stored, bool ascending, std::vector<uint8_t>& key);

  std::vector<Part> parts_;
  std::u16string text_;
  std::vector<uint8_t> extra_;
  std::vector<uint8_t> unprintable_;
  std::vector<uint8_t> kana_;  // each kana's size mark
};

// True for a stored key of `index` made of nulls alone: each segment its direction's null
// flag, and nothing else (every value takes more than its flag byte). Jet lets any number of
// rows share such a key in a unique index.
bool IsAllNullKey(const RealIndex& index, std::span<const uint8_t> key);

// The bytes a segment of a stored key takes, given the column's type and direction and the
// segment's flag byte: the flag alone for a null, the flag and the value bytes otherwise.
// None for a value of text, memo or binary, whose key width follows the value.
std::optional<size_t> KeySegmentSize(uint8_t type, bool ascending, uint8_t flag);

// A Long's value bytes in a key segment (after the flag), read and written.
int32_t ReadKeyLong(std::span<const uint8_t> value, bool ascending);
void WriteKeyLong(int32_t value, bool ascending, std::span<uint8_t> out);

}  // namespace vintrel::jet
