// How the copy renumbers tables. A table's catalog id is the page of its definition, so
// when the definitions move to the front of the copy (MSysObjects stays on page 2, the
// others follow in their source order on pages 3, 4, ...) every id of a table changes,
// and so does every reference to one:
//
//   - MSysObjects.Id of the table's own row and MSysObjects.ParentId of rows under it;
//   - MSysACEs.ObjectId (permissions), MSysNavPaneGroupToObjects.ObjectID and
//     MSysNavPaneObjectIDs.Id (Access's navigation pane);
//   - the related-table page of each foreign-key logical index in the definitions;
//   - the keys of every index over those columns, rebuilt from the new values.
//
// The high byte of an id is kept; ids of other objects (containers, queries, forms) do not
// change. New ids keep the order of the old ones, so the catalog's key order holds.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/pages/table_definition.h"

namespace vintrel::jet {

class Renumbering {
 public:
  // From the catalog's table rows; the definition pages are those of the source.
  explicit Renumbering(const std::vector<CatalogEntry>& catalog);

  // Definition pages, old and new, in the order the copy writes them.
  const std::map<uint32_t, uint32_t>& pages() const { return pages_; }
  uint32_t NewPage(uint32_t old_page) const;
  // The new id of a table's old id; other values are not table ids and stay.
  int32_t NewId(int32_t old_id) const;

  // Indexes (into the table's columns) of the columns of `table` that hold object ids.
  std::vector<size_t> IdColumns(const std::u16string& table, const TableDefinition& definition) const;

  // Rewrites, in an index entry's key, the segments of the id columns among `index`'s
  // columns. Raises when an id column follows a column of variable key width.
  void RenumberKey(const TableDefinition& table, const RealIndex& index,
                   const std::vector<size_t>& id_columns, std::vector<uint8_t>& key) const;

 private:
  std::map<uint32_t, uint32_t> pages_;
  std::map<int32_t, int32_t> ids_;
};

}  // namespace vintrel::jet
