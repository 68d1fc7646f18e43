// The first step of a table's copy: its live rows packed densely into new data pages, with
// their long values on new long-value pages and their object ids renumbered.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jet/compact/content_digest.h"
#include "jet/compact/copy_context.h"
#include "jet/compact/entry_sorter.h"
#include "jet/compact/row_moves.h"
#include "jet/pages/long_value_writer.h"

namespace vintrel::jet {

// What the rows' own keys say of an index copied as stored: the number of entries it should
// have and an order-independent sum over (key, new row pointer), to compare with its
// entries. `unkeyed` says why there is no sum, when the keys cannot be computed here.
struct KeySum {
  uint64_t entries = 0;
  uint64_t sum = 0;
  std::string unkeyed;
};

struct CopiedRows {
  uint64_t count = 0;
  TableDigest digest;  // of the rows as the copy holds them, summed from the source
  std::vector<uint32_t> data_pages;
  std::optional<uint32_t> open_page;  // the last data page, if it has room left
  std::map<uint16_t, LongValueWriter> long_values;  // by column number, every page written
  // Per real index built from the rows' keys: its entries (the key, the row's new page in 3
  // bytes big-endian and its row, then its source row pointer, 4 bytes big-endian).
  std::vector<std::optional<EntrySorter>> computed;
  // Per real index copied as stored.
  std::vector<KeySum> sums;
  // The largest value stored in each autonumber column, by column number.
  std::map<uint16_t, int32_t> largest_autonumbers;
};

// The hash an entry adds to its index's KeySum.
uint64_t EntryHash(const std::vector<uint8_t>& key, uint32_t pointer);

// Copies the rows in primary-key order when the table has a primary key the copy can take
// as stored, and in the order they are stored otherwise; records each row's move from its
// source place in `moves`, sorted on return. Rows that cannot be read are lost: raised as
// RowsLostError, or recorded where the copy salvages. An index that turns out not to lead to
// the rows raises IndexMismatch.
CopiedRows CopyRows(const CopyContext& copy, RowMoves& moves);

}  // namespace vintrel::jet
