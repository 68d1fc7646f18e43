#include "jet/check/integrity_check.h"

#include <algorithm>
#include <set>

#include "jet/coding.h"
#include "jet/jet_error.h"
#include "jet/pages/data_page.h"
#include "jet/pages/data_page_builder.h"
#include "jet/pages/definition_block.h"
#include "jet/pages/index_page.h"
#include "jet/pages/usage_map.h"
#include "jet/table_reader.h"
#include "text/utf.h"

namespace vintrel::jet {
namespace {

constexpr const char* kMapRows = "usage-map rows";

class Checker {
 public:
  explicit Checker(Database& database)
      : db_(database), pages_(database.pages()), format_(database.format()),
        owners_(pages_.page_count()) {}

  std::vector<std::string> Run() {
    Claim(0, "the database definition");
    Claim(kGlobalMapPage, "the global map");
    Guard("the global map", [&] {
      for (uint32_t page : MapPages(PackRowPointer(kGlobalMapPage, 0), kGlobalMapPage)) {
        if (page < owners_.size()) Claim(page, "free");
      }
    });
    for (const CatalogEntry& entry : db_.ReadCatalog()) {
      if (entry.type != kCatalogLocalTable) continue;
      const std::string name = "table " + ToUtf8(entry.name);
      Guard(name, [&] { CheckTable(name, entry.definition_page()); });
    }
    for (uint32_t page = 0; page < owners_.size(); ++page) {
      if (owners_[page].empty()) Fault("page " + std::to_string(page) + " is owned by nothing and not marked free");
    }
    return faults_;
  }

 private:
  template <typename Check>
  void Guard(const std::string& what, Check check) {
    try {
      check();
    } catch (const JetError& error) {
      Fault(what + ": " + error.what());
    }
  }

  void Fault(const std::string& text) { faults_.push_back(text); }

  void Claim(uint32_t page, const std::string& owner) {
    if (page >= owners_.size()) {
      Fault(owner + " claims page " + std::to_string(page) + ", beyond the end of the file");
      return;
    }
    std::string& current = owners_[page];
    if (current.empty()) {
      current = owner;
    } else if (current != owner || owner != kMapRows) {
      Fault("page " + std::to_string(page) + " is owned by both " + current + " and " + owner);
    }
  }

  // The pages a map marks; claims the map's own row page and map pages on the way.
  std::vector<uint32_t> MapPages(uint32_t row_pointer, uint32_t owner) {
    RowPointer where = RowPointer::FromU32(row_pointer);
    if (where.page != kGlobalMapPage) Claim(where.page, kMapRows);
    DataPage page(pages_.Get(where.page, "usage map"), format_, "usage map");
    RowSlot slot = page.Row(where.row);
    if (slot.bytes.size() > 0 && slot.bytes.U8(0) == kReferenceMapForm) {
      for (size_t at = 1; at + 4 <= slot.bytes.size(); at += 4) {
        if (uint32_t map_page = slot.bytes.U32(at)) Claim(map_page, "the map pages of page " + std::to_string(owner));
      }
    }
    UsageMap map(pages_, format_, row_pointer, owner);
    std::vector<uint32_t> found;
    for (auto next = map.NextPage(0); next; next = map.NextPage(*next + 1)) {
      found.push_back(*next);
      if (*next == UINT32_MAX) break;
    }
    return found;
  }

  void ExpectDataPages(const std::string& what, const std::vector<uint32_t>& pages, uint32_t owner) {
    for (uint32_t page : pages) {
      if (page >= owners_.size()) continue;
      PageRef ref = pages_.Get(page, "data page");
      if (ref->type() != PageType::kData || DataPage(ref, format_, "data page").owner() != owner) {
        Fault(what + " lists page " + std::to_string(page) + ", which is not one of its data pages");
      }
    }
  }

  void CheckTable(const std::string& name, uint32_t definition_page) {
    TableDefinition table = db_.ReadTable(definition_page);
    DefinitionBlock block = ReadDefinitionBlock(pages_, format_, definition_page);
    for (uint32_t page = definition_page; page != 0;) {
      Claim(page, name + "'s definition");
      page = pages_.GetTyped(page, PageType::kTableDefinition, "table definition")
                 ->View("table definition").U32(format_.tdef_next_page);
    }

    std::vector<uint32_t> data = MapPages(table.usage_map, definition_page);
    ExpectDataPages(name + "'s usage map", data, definition_page);
    for (uint32_t page : data) Claim(page, name + "'s data");
    for (uint32_t page : MapPages(table.free_space_map, definition_page)) {
      if (!std::binary_search(data.begin(), data.end(), page)) {
        Fault(name + "'s free-space map lists page " + std::to_string(page) + ", which is not its data page");
      }
    }
    ByteView view(block.bytes, "table definition", definition_page);
    for (const LongValueMapOffsets& maps : block.long_value_maps) {
      const std::string what = name + "'s long values of column " + std::to_string(maps.column_number);
      std::vector<uint32_t> long_pages = MapPages(view.U32(maps.offset), definition_page);
      ExpectDataPages(what, long_pages, kLongValueOwner);
      for (uint32_t page : long_pages) Claim(page, what);
      MapPages(view.U32(maps.offset + 4), definition_page);
    }

    std::vector<uint32_t> rows;
    TableReader reader(pages_, format_, table);
    std::vector<Field> fields;
    while (reader.Next(fields)) {
      RowLocation at = reader.location();
      rows.push_back(PackRowPointer(at.page, static_cast<uint8_t>(at.row)));
    }
    if (rows.size() != table.row_count) {
      Fault(name + " has " + std::to_string(rows.size()) + " rows where its definition says " +
            std::to_string(table.row_count));
    }
    std::sort(rows.begin(), rows.end());
    for (size_t i = 0; i < table.real_indexes.size(); ++i) {
      Guard(name + "'s index " + std::to_string(i), [&] { CheckIndex(name, i, table, rows); });
    }
  }

  void CheckIndex(const std::string& name, size_t i, const TableDefinition& table,
                  const std::vector<uint32_t>& rows) {
    const RealIndex& index = table.real_indexes[i];
    const std::string what = name + "'s index " + std::to_string(i);
    std::vector<uint32_t> mapped = MapPages(index.usage_map, table.page);
    // Level by level from the root: each level's pages, linked left to right, must be the
    // children its parent level names, in the same order.
    std::set<uint32_t> tree;
    std::vector<uint32_t> expected = {index.root_page};
    while (!expected.empty()) {
      std::vector<uint32_t> level, children;
      for (uint32_t page = expected.front(); page != 0;) {
        if (!tree.insert(page).second) RaiseDamaged("index page", page, "it is reached twice");
        IndexPage read = ReadIndexPage(pages_, format_, page);
        level.push_back(page);
        if (!read.leaf) {
          for (const IndexEntry& entry : read.entries) children.push_back(entry.child_page);
        }
        page = read.next_page;
      }
      if (level != expected) Fault(what + ": the pages of a level are not linked in the order their parents name them");
      expected = std::move(children);
    }
    if (std::vector<uint32_t>(tree.begin(), tree.end()) != mapped) {
      Fault(what + ": its usage map does not list exactly the pages of its tree");
    }
    for (uint32_t page : tree) Claim(page, what);

    IndexReader entries(pages_, format_, index.root_page);
    IndexEntry entry;
    std::vector<uint8_t> previous, current;
    std::vector<uint32_t> named;
    while (entries.Next(entry)) {
      current = entry.key;
      current.resize(current.size() + 4);
      PutBigU24(current, entry.key.size(), entry.data_page);
      current.back() = entry.data_row;
      if (!named.empty() && !(previous < current)) {
        Fault(what + ": entries are out of order at row " + std::to_string(entry.data_row) +
              " of page " + std::to_string(entry.data_page));
      }
      previous.swap(current);
      named.push_back(PackRowPointer(entry.data_page, entry.data_row));
    }
    std::sort(named.begin(), named.end());
    const bool partial = (index.flags & kIndexIgnoreNulls) != 0;
    const bool subset = std::includes(rows.begin(), rows.end(), named.begin(), named.end()) &&
                        std::adjacent_find(named.begin(), named.end()) == named.end();
    if (!subset || (!partial && named.size() != rows.size())) {
      Fault(what + " has " + std::to_string(named.size()) + " entries that do not match the " +
            std::to_string(rows.size()) + " rows one to one");
    }
  }

  Database& db_;
  PageCache& pages_;
  const Format& format_;
  std::vector<std::string> owners_;
  std::vector<std::string> faults_;
};

}  // namespace

std::vector<std::string> CheckIntegrity(Database& database) {
  if (database.format().version != Version::kJet4) {
    return {"the database is not in the Jet 4 format"};
  }
  return Checker(database).Run();
}

}  // namespace vintrel::jet
