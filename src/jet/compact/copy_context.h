// What every step of one table's copy works from: the source table and its name, the table
// as the copy stores it (the same definition, or its Jet 4 form when a Jet 3 source is
// converted), the page its copy's definition takes (the owner of all its pages), how object
// ids change, and where the copy is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/coding.h"
#include "jet/compact/jet4_conversion.h"
#include "jet/compact/map_rows.h"
#include "jet/compact/renumbering.h"
#include "jet/database.h"
#include "jet/io/page_output.h"
#include "jet/pages/index_page.h"

namespace vintrel::jet {

struct CopyContext {
  Database& source;
  const std::u16string& name;  // the table's
  const TableDefinition& source_table;
  const Format& format;  // of the copy
  const TableDefinition& table;  // as the copy stores it
  TextConversion* text;  // re-encodes text for a copy in another format; null otherwise
  uint32_t owner;  // the copy's definition page
  const Renumbering& renumbering;
  const std::vector<size_t>& id_columns;  // columns holding object ids, renumbered in the copy
  PageOutput& output;
  MapRows& maps;
};

// The source row an index entry names: the key under which the row copy records its move.
inline uint32_t OldPointer(const IndexEntry& entry) {
  return PackRowPointer(entry.data_page, entry.data_row);
}

}  // namespace vintrel::jet
