// How the copy renumbers tables. A table's catalog id is the page of its definition, so
// when the definitions move to the front of the copy (MSysObjects stays on page 2, the
// others follow in their source order on pages 3, 4, ...) every id of a table changes,
// and so does every reference to one:
//
//   - the system-table columns that hold catalog object ids (MSysObjects.Id and .ParentId,
//     permissions, query text, the navigation pane: kIdColumns; docs/jet-format.md says
//     how they were found);
//   - the related-table page of each foreign-key logical index in the definitions;
//   - the keys of every index over those columns, rebuilt from the new values and sorted.
//
// The high byte of an id is kept; ids of other objects (containers, queries, forms) do not
// change, and new table ids keep the order of the old ones. A value that names no object
// (a stale reference) must name none in the copy either: it stays as it is unless a table's
// new id took it, and then it becomes an old table id the copy leaves free. The translation
// is thus a one-to-one map of all values, so distinct references stay distinct.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/pages/field.h"
#include "jet/pages/table_definition.h"

namespace vintrel::jet {

class Renumbering {
 public:
  // From the catalog's table rows; the definition pages are those of the source.
  explicit Renumbering(const std::vector<CatalogEntry>& catalog);

  // Definition pages, old and new, in the order the copy writes them.
  const std::map<uint32_t, uint32_t>& pages() const { return pages_; }
  uint32_t NewPage(uint32_t old_page) const;
  // The value in the copy of a value of an object-id column.
  int32_t NewId(int32_t old_id) const;

  // Indexes (into the table's columns) of the columns of `table` that hold object ids.
  std::vector<size_t> IdColumns(const std::u16string& table, const TableDefinition& definition) const;

  // Renumbers the values of `id_columns` (indexes into the row's columns) in a row given as
  // TableReader's fields; a value that is not 4 bytes is left as it is.
  void RenumberIds(const std::vector<size_t>& id_columns, std::vector<Field>& fields) const;

  // Rewrites, in an index entry's key, the segments of the id columns among `index`'s
  // columns. Raises when an id column follows a column of variable key width.
  void RenumberKey(const TableDefinition& table, const RealIndex& index,
                   const std::vector<size_t>& id_columns, std::vector<uint8_t>& key) const;

 private:
  std::map<uint32_t, uint32_t> pages_;
  // Values that change: the ids of tables, and the stale values their new ids take.
  std::map<int32_t, int32_t> ids_;
};

}  // namespace vintrel::jet
