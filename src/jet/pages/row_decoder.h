// Reads one table row into its fields, one per column of the definition; the inverse of
// RowEncoder (row_encoder.h).
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

#include <cstddef>
#include <vector>

#include "jet/coding.h"
#include "jet/format.h"
#include "jet/io/page_cache.h"
#include "jet/pages/field.h"
#include "jet/pages/table_definition.h"

namespace vintrel::jet {

// How a row's long values are given: read whole, or by reference (Field::by_reference), for a
// reader that passes them on piece by piece.
enum class LongValues { kWhole, kByReference };

// Fills `fields` from `row`; `var_offsets` is scratch space, reused from row to row.
void DecodeRow(PageCache& pages, const Format& format, const TableDefinition& table,
               const ByteView& row, std::vector<size_t>& var_offsets,
               std::vector<Field>& fields, LongValues long_values = LongValues::kWhole);

}  // namespace vintrel::jet
