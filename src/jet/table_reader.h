// Reads a table's rows in storage order: the data pages its usage map marks, in page
// order, and the rows of each page in row order. Only one page's worth of state is held,
// so a table of any size is read in constant memory (apart from the current row).
//
// Row layout (Jet 3 / Jet 4 widths):
//
//   0        (1/2) number of columns the row was written with
//   1/2      fixed columns, each at its column's fixed offset
//   ...      variable columns, in variable-slot order
//   eod ..   [Jet 3: jump table] variable-offset table, stored last slot first, each entry
//            (1/2) an offset from the row start; one more entry (eod) ends the last column
//   end-m-w  (1/2) number of variable slots in the row
//   end-m    null mask, (columns + 7) / 8 bytes, bit n set = column n holds a value;
//            a Boolean column's value is its bit
//
// Jet 3 offsets are single bytes; its jump table (one byte per 256 bytes of row) lists, in
// order, the first variable slot whose offset passes each further multiple of 256.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/pages/data_page.h"
#include "jet/pages/field.h"
#include "jet/pages/table_definition.h"
#include "jet/pages/usage_map.h"

namespace vintrel::jet {

// Addresses of a row as it was found: its slot, and for a moved row where it lives.
struct RowLocation {
  uint32_t page;
  uint16_t row;
};

class TableReader {
 public:
  TableReader(PageCache& pages, const Format& format, const TableDefinition& table);

  // Fills `fields` (one per column of the definition, in its order) with the next live
  // row; false after the last.
  bool Next(std::vector<Field>& fields);
  RowLocation location() const { return {page_number_, static_cast<uint16_t>(next_row_ - 1)}; }

 private:
  bool AdvancePage();

  PageCache& pages_;
  const Format& format_;
  const TableDefinition& table_;
  UsageMap map_;
  std::optional<DataPage> page_;
  uint32_t page_number_ = 0;
  uint16_t next_row_ = 0;
  bool started_ = false;
  std::vector<size_t> var_offsets_;
};

// Decodes one row's fields; exposed for tests and for readers of single rows.
void DecodeRow(PageCache& pages, const Format& format, const TableDefinition& table,
               const ByteView& row, std::vector<size_t>& var_offsets,
               std::vector<Field>& fields);

}  // namespace vintrel::jet
