// What every step of one table's copy works from: the source table, the table as the copy
// stores it (the same definition, or its Jet 4 form when a Jet 3 source is converted), the
// page its copy's definition takes (the owner of all its pages), how object ids change, what
// of the source's derived structures can be taken as stored, and where the copy is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/coding.h"
#include "jet/compact/jet4_conversion.h"
#include "jet/compact/lost_rows.h"
#include "jet/compact/map_rows.h"
#include "jet/compact/renumbering.h"
#include "jet/compact/table_survey.h"
#include "jet/database.h"
#include "jet/io/page_output.h"
#include "jet/pages/index_page.h"

namespace vintrel::jet {

struct CopyContext {
  Database& source;
  const TableDefinition& source_table;
  const std::u16string& name;
  const Format& format;  // of the copy
  const TableDefinition& table;  // as the copy stores it
  TextConversion* text;  // re-encodes text for a copy in another format; null otherwise
  uint32_t owner;  // the copy's definition page
  const Renumbering& renumbering;
  const std::vector<size_t>& id_columns;  // columns holding object ids, renumbered in the copy
  const TableSurvey& survey;
  // Where a salvaging compaction records the rows it cannot copy; null to refuse them.
  std::vector<LostRows>* losses;
  // Rows the copy adds after the source's, as the source stores rows.
  const std::vector<std::vector<Field>>& added;
  PageOutput& output;
  MapRows& maps;
};

// Rows the copy adds have no source place: the row copy gives them pointers counting down
// from UINT32_MAX, past any page of a source.
inline bool IsAddedRow(uint32_t pointer, size_t added_rows) { return pointer > UINT32_MAX - added_rows; }

// The source row an index entry names: the key under which the row copy records its move.
inline uint32_t OldPointer(const IndexEntry& entry) {
  return PackRowPointer(entry.data_page, entry.data_row);
}

// Raised when an index the survey passed turns out not to match the table's rows; the
// table's copy then starts again with the index built from the rows' keys.
class IndexMismatch : public JetError {
 public:
  IndexMismatch(size_t index, const std::string& reason)
      : JetError("index " + std::to_string(index) + " does not match its rows: " + reason), index_(index), reason_(reason) {}
  size_t index() const { return index_; }
  const std::string& reason() const { return reason_; }

 private:
  size_t index_;
  std::string reason_;
};

// Raised when rows that a salvaging copy has already written must be left out after all (a
// later duplicate in a unique index): the table's copy starts again without them.
class RowsToDrop : public JetError {
 public:
  explicit RowsToDrop(std::vector<uint32_t> old_pointers)
      : JetError("rows to leave out of the copy"), old_pointers_(std::move(old_pointers)) {}
  const std::vector<uint32_t>& old_pointers() const { return old_pointers_; }

 private:
  std::vector<uint32_t> old_pointers_;
};

}  // namespace vintrel::jet
