// The first step of a table's copy: its live rows packed densely into new data pages, with
// their long values on new long-value pages and their object ids renumbered.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "jet/compact/content_digest.h"
#include "jet/compact/copy_context.h"
#include "jet/compact/entry_sorter.h"
#include "jet/compact/row_moves.h"
#include "jet/pages/long_value_writer.h"

namespace vintrel::jet {

struct CopiedRows {
  uint64_t count = 0;
  TableDigest digest;  // of the rows as the copy holds them, summed from the source
  std::vector<uint32_t> data_pages;
  std::optional<uint32_t> open_page;  // the last data page, if it has room left
  std::map<uint16_t, LongValueWriter> long_values;  // by column number, every page written
  // Per real index, when the copy converts the table: its entries as computed from the rows
  // (the key, then the row's page in 3 bytes big-endian and its row).
  std::vector<EntrySorter> computed;
};

// Renumbers the object ids a source row's fields hold (copy.id_columns), as the copy stores
// them.
void RenumberIds(const CopyContext& copy, std::vector<Field>& fields);

// Copies the rows in primary-key order when the table has a primary key, and in the order
// they are stored otherwise; records each row's move from its source place in `moves`,
// sealed on return. A converted table's index entries are computed from its rows.
CopiedRows CopyRows(const CopyContext& copy, RowMoves& moves);

}  // namespace vintrel::jet
