// The whole renumbering is worked out from the catalog before any row is copied, so every new
// id and definition page is known when the first reference is rewritten. An id in an index key
// is rewritten in place instead of the key being encoded again from the row. That is why only
// columns of fixed key width may come before an id column in an index.
#include "jet/compact/renumbering.h"

#include <algorithm>
#include <optional>
#include <set>
#include <span>

#include "jet/coding.h"
#include "jet/jet_error.h"
#include "jet/keys/index_key.h"

namespace vintrel::jet {
namespace {

struct IdColumn {
  const char16_t* table;
  const char16_t* column;
};
constexpr IdColumn kIdColumns[] = {
    {u"MSysObjects", u"Id"},
    {u"MSysObjects", u"ParentId"},
    {u"MSysACEs", u"ObjectId"},
    {u"MSysQueries", u"ObjectId"},
    {u"MSysNavPaneGroups", u"ObjectID"},
    {u"MSysNavPaneGroupToObjects", u"ObjectID"},
    {u"MSysNavPaneObjectIDs", u"Id"},
};

}  // namespace

Renumbering::Renumbering(const std::vector<CatalogEntry>& catalog) {
  std::map<uint32_t, int32_t> by_page;
  for (const CatalogEntry& entry : catalog) {
    if (entry.type != kCatalogLocalTable) continue;
    if (!by_page.emplace(entry.definition_page(), entry.id).second) {
      RaiseDamaged("catalog", kCatalogPage,
                   "two tables are defined on page " + std::to_string(entry.definition_page()));
    }
  }
  if (by_page.count(kCatalogPage) == 0) {
    RaiseDamaged("catalog", kCatalogPage, "the catalog does not list itself");
  }
  uint32_t next = kCatalogPage + 1;
  for (const auto& [page, id] : by_page) {
    if (page < kCatalogPage) RaiseDamaged("catalog", kCatalogPage, "a table is defined on page " + std::to_string(page));
    uint32_t new_page = page == kCatalogPage ? kCatalogPage : next++;
    pages_[page] = new_page;
    ids_[id] = static_cast<int32_t>((static_cast<uint32_t>(id) & 0xFF000000u) | new_page);
  }
  std::set<int32_t> objects;
  for (const CatalogEntry& entry : catalog) {
    if (!objects.insert(entry.id).second) {
      RaiseDamaged("catalog", kCatalogPage, "two objects have id " + std::to_string(entry.id));
    }
  }
  // A new id must not be taken by an object that keeps its id.
  std::map<int32_t, int32_t> old_of;
  for (const auto& [old_id, new_id] : ids_) {
    if (objects.count(new_id) != 0 && ids_.count(new_id) == 0) {
      throw JetError("Table id " + std::to_string(old_id) + " cannot become " +
                     std::to_string(new_id) + ", which another object has.");
    }
    old_of[new_id] = old_id;
  }
  // A new id that no object had in the source may be held by stale references; they move
  // to the end of the chain new id <- old id <- ... : an old table id that no table takes
  // in the copy. Chains are finite, since ids map one to one.
  for (const auto& [new_id, old_id] : old_of) {
    if (objects.count(new_id) != 0) continue;
    int32_t free_id = old_id;
    for (auto taken = old_of.find(free_id); taken != old_of.end(); taken = old_of.find(free_id)) {
      free_id = taken->second;
    }
    ids_[new_id] = free_id;
  }
}

uint32_t Renumbering::NewPage(uint32_t old_page) const {
  auto found = pages_.find(old_page);
  return found == pages_.end() ? old_page : found->second;
}

int32_t Renumbering::NewId(int32_t old_id) const {
  auto found = ids_.find(old_id);
  return found == ids_.end() ? old_id : found->second;
}

std::vector<size_t> Renumbering::IdColumns(const std::u16string& table,
                                           const TableDefinition& definition) const {
  std::vector<size_t> columns;
  for (size_t c = 0; c < definition.columns.size(); ++c) {
    const Column& column = definition.columns[c];
    if (column.type != static_cast<uint8_t>(ColumnType::kLong)) continue;
    for (const IdColumn& id : kIdColumns) {
      if (table == id.table && column.name == id.column) columns.push_back(c);
    }
  }
  return columns;
}

void Renumbering::RenumberIds(const std::vector<size_t>& id_columns, std::vector<Field>& fields) const {
  for (size_t c : id_columns) {
    Field& field = fields[c];
    if (field.null || field.bytes.size() != 4) continue;
    uint32_t stored = 0;
    for (size_t i = 4; i-- > 0;) stored = (stored << 8) | field.bytes[i];
    PutU32(field.bytes, 0, static_cast<uint32_t>(NewId(static_cast<int32_t>(stored))));
  }
}

void Renumbering::RenumberKey(const TableDefinition& table, const RealIndex& index,
                              const std::vector<size_t>& id_columns,
                              std::vector<uint8_t>& key) const {
  size_t remaining = 0;
  for (const IndexColumn& part : index.columns) {
    for (size_t c : id_columns) remaining += table.columns[c].number == part.column_number;
  }
  // The key came from one of the index's pages, which the reader of its entries has left.
  auto cut_short = [&] {
    const std::string detail = "a key of an index of the table at page " + std::to_string(table.page) + " is cut short";
    throw DamagedError("The database is damaged: " + detail + ".", "", 0, detail);
  };
  size_t at = 0;
  for (const IndexColumn& part : index.columns) {
    if (remaining == 0) return;
    if (at >= key.size()) cut_short();
    auto column = std::find_if(table.columns.begin(), table.columns.end(),
                               [&](const Column& c) { return c.number == part.column_number; });
    const std::optional<size_t> size =
        column == table.columns.end() ? std::nullopt : KeySegmentSize(column->type, part.ascending, key[at]);
    if (!size) {
      throw JetError("An index of table " + std::to_string(table.page) +
                     " keys an object id after a column whose key width varies.");
    }
    if (at + *size > key.size()) cut_short();
    const size_t c = static_cast<size_t>(column - table.columns.begin());
    if (std::find(id_columns.begin(), id_columns.end(), c) != id_columns.end()) {
      --remaining;
      if (*size > 1) {
        const std::span<uint8_t> value(key.data() + at + 1, *size - 1);
        WriteKeyLong(NewId(ReadKeyLong(value, part.ascending)), part.ascending, value);
      }
    }
    at += *size;
  }
}

}  // namespace vintrel::jet
