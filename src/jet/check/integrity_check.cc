#include "jet/check/integrity_check.h"

#include <xxhash.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include "jet/check/page_owners.h"
#include "jet/coding.h"
#include "jet/index_key.h"
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

// An index's keys as computed from its table's rows: a hash of the key, by row pointer.
using RowKeys = std::vector<std::pair<uint32_t, uint64_t>>;

uint64_t KeyHash(const std::vector<uint8_t>& key) { return XXH3_64bits(key.data(), key.size()); }

class Checker {
 public:
  explicit Checker(Database& database)
      : db_(database), pages_(database.pages()), format_(database.format()),
        owners_(pages_.page_count()) {}

  IntegrityReport Run() {
    Claim(0, {PageUse::kDatabaseDefinition, 0, 0});
    Claim(kGlobalMapPage, {PageUse::kGlobalMap, 0, 0});
    Guard("the global map", [&] { ClaimFreePages(); });
    bool catalog_listed = false;
    for (const CatalogEntry& entry : db_.ReadCatalog()) {
      if (entry.type != kCatalogLocalTable) continue;
      const std::string name = "table " + ToUtf8(entry.name);
      const bool system = (entry.flags & kCatalogSystemFlags) != 0;
      catalog_listed |= entry.definition_page() == kCatalogPage;
      Guard(name, [&] { CheckTable(name, entry.definition_page(), system); });
    }
    // A catalog that lost its rows lists nothing, so its own pages would go unchecked.
    if (!catalog_listed) {
      Fault("the catalog does not list itself");
      Guard("the catalog", [&] { CheckTable("the catalog", kCatalogPage, true); });
    }
    NoteUnowned();
    return std::move(report_);
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

  void Fault(const std::string& text) { report_.faults.push_back(text); }
  void Note(const std::string& text) { report_.notes.push_back(text); }

  // Pages past the end of the file are no concern of the global map: Jet marks them free
  // up to what the map covers, and testRefGlobalV2000.mdb's reference-form map keeps a
  // stray number (0xFFFFFF80) in a slot for pages some 3 GB on, past any Jet file.
  void ClaimFreePages() {
    const uint32_t end = pages_.page_count();
    UsageMap map(pages_, format_, PackRowPointer(kGlobalMapPage, 0), kGlobalMapPage);
    const std::vector<uint32_t> covering = map.MapPages(end);
    constexpr PageOwner kGlobalMapPages = {PageUse::kMapPages, 0, 0};
    for (uint32_t page : covering) Claim(page, kGlobalMapPages);
    const std::vector<uint32_t> all = map.MapPages();
    for (size_t i = covering.size(); i < all.size(); ++i) {
      if (all[i] < end) {
        Claim(all[i], kGlobalMapPages);
      } else {
        Note("the global map names page " + std::to_string(all[i]) +
             " for the map of pages past the end of the file; it is not read");
      }
    }
    for (auto page = map.NextPage(0, end); page; page = map.NextPage(*page + 1, end)) {
      Claim(*page, {PageUse::kFree, 0, 0});
    }
    cover_end_ = map.CoverEnd();
  }

  // Jet leaves pages nobody owns and does not mark them free: the pages of dropped
  // objects, long-value pages its maps no longer list, zeroed pages. They are only lost
  // space; damage to a page somebody owns is found through its owner. But Jet moves the
  // global map's window along as the file grows, so that it always covers the last page:
  // a page past the window is one the file gained behind the map's back.
  void NoteUnowned() {
    std::string ranges;
    uint32_t count = 0;
    for (uint32_t page = 0; page < owners_.size(); ++page) {
      if (owners_[page].use != PageUse::kUnowned) continue;
      if (page >= cover_end_) {
        Fault("page " + std::to_string(page) +
              " is owned by nothing and lies past the pages the global map covers");
        continue;
      }
      uint32_t last = page;
      while (last + 1 < owners_.size() && last + 1 < cover_end_ && owners_[last + 1].use == PageUse::kUnowned) {
        ++last;
      }
      // Appended piece by piece: GCC 12 at -O3 sees a false overlap (-Wrestrict) in the
      // chained concatenation.
      if (!ranges.empty()) ranges += ", ";
      ranges += std::to_string(page);
      if (last > page) {
        ranges += '-';
        ranges += std::to_string(last);
      }
      count += last - page + 1;
      page = last;
    }
    if (count > 0) {
      Note(std::to_string(count) + " pages are owned by nothing and not marked free: " + ranges);
    }
  }

  // What a fault calls an owner. `name` is the owning table's; the present owner of a
  // page is named as the table was when it claimed the page.
  std::string Describe(const PageOwner& owner, const std::string& name) const {
    switch (owner.use) {
      case PageUse::kUnowned: return "nothing";
      case PageUse::kFree: return "free";
      case PageUse::kDatabaseDefinition: return "the database definition";
      case PageUse::kGlobalMap: return "the global map";
      case PageUse::kMapRows: return "usage-map rows";
      case PageUse::kMapPages:
        return owner.table == 0 ? "the global map's map pages"
                                : "the map pages of page " + std::to_string(owner.table);
      case PageUse::kTableDefinition: return name + "'s definition";
      case PageUse::kTableData: return name + "'s data";
      case PageUse::kLongValues: return name + "'s long values of column " + std::to_string(owner.part);
      case PageUse::kIndex: return name + "'s index " + std::to_string(owner.part);
    }
    return "an unknown owner";
  }

  void Claim(uint32_t page, const PageOwner& owner, const std::string& name = {}) {
    if (page < owners_.size()) {
      const PageOwner current = owners_[page];
      if (owners_.Claim(page, owner)) {
        claimed_by_.emplace(owner.table, name);
      } else {
        Fault("page " + std::to_string(page) + " is owned by both " +
              Describe(current, claimed_by_[current.table]) + " and " + Describe(owner, name));
      }
    } else {
      Fault(Describe(owner, name) + " claims page " + std::to_string(page) + ", beyond the end of the file");
    }
  }

  // The pages a map marks; claims the map's own row page and map pages on the way.
  std::vector<uint32_t> MapPages(uint32_t row_pointer, uint32_t owner) {
    const UsageMap map = ClaimMapStorage(pages_, format_, row_pointer, owner,
                                         [&](uint32_t page, const PageOwner& by) { Claim(page, by); });
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

  void CheckTable(const std::string& name, uint32_t definition_page, bool system) {
    TableDefinition table = db_.ReadTable(definition_page);
    DefinitionBlock block = ReadDefinitionBlock(pages_, format_, definition_page);
    for (uint32_t page : table.pages) Claim(page, {PageUse::kTableDefinition, definition_page, 0}, name);

    std::vector<uint32_t> data = MapPages(table.usage_map, definition_page);
    ExpectDataPages(name + "'s usage map", data, definition_page);
    for (uint32_t page : data) Claim(page, {PageUse::kTableData, definition_page, 0}, name);
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
      for (uint32_t page : long_pages) {
        Claim(page, {PageUse::kLongValues, definition_page, maps.column_number}, name);
      }
      // Tables Access adds to a database (MSysNameMap, MSysAccessXML) have no free-space
      // map of their long values.
      if (const uint32_t free_space = view.U32(maps.offset + 4); free_space != 0) {
        MapPages(free_space, definition_page);
      } else if (system) {
        Note(what + " have no free-space map");
      } else {
        Fault(what + " have no free-space map");
      }
    }

    // Each index's keys are computed as the rows stream by, to be compared with the stored
    // ones entry by entry. An index whose keys cannot be computed is left out of that.
    const size_t index_count = table.real_indexes.size();
    std::vector<std::optional<IndexKeyEncoder>> encoders(index_count);
    std::vector<RowKeys> keys(index_count);
    for (size_t i = 0; i < index_count; ++i) {
      GuardKeys(name, i, encoders[i], [&] { encoders[i].emplace(table, table.real_indexes[i]); });
    }
    std::vector<uint32_t> rows;
    TableReader reader(pages_, format_, table);
    std::vector<Field> fields;
    std::vector<uint8_t> key;
    while (reader.Next(fields)) {
      RowLocation at = reader.location();
      const uint32_t row = PackRowPointer(at.page, static_cast<uint8_t>(at.row));
      rows.push_back(row);
      for (size_t i = 0; i < index_count; ++i) {
        if (!encoders[i]) continue;
        GuardKeys(name, i, encoders[i], [&] {
          encoders[i]->Encode(fields, key);
          keys[i].emplace_back(row, KeyHash(key));
        });
      }
    }
    if (rows.size() != table.row_count) {
      const std::string counts = name + " has " + std::to_string(rows.size()) +
                                 " rows where its definition says " + std::to_string(table.row_count);
      // Jet does not keep the count of some of its own tables (MSysQueries, MSysACEs) up
      // to date as it adds rows; a count above the rows means rows are lost.
      if (system && rows.size() > table.row_count) {
        Note(counts);
      } else {
        Fault(counts);
      }
    }
    std::sort(rows.begin(), rows.end());
    for (size_t i = 0; i < index_count; ++i) {
      std::sort(keys[i].begin(), keys[i].end());
      const RowKeys* computed = encoders[i] ? &keys[i] : nullptr;
      Guard(name + "'s index " + std::to_string(i), [&] { CheckIndex(name, i, table, rows, computed); });
    }
  }

  // Runs `compute`, a step of computing index `i`'s keys; when the encoder cannot key the
  // index, notes why and leaves the index's keys uncompared. Damage found on the way (an
  // index naming a column the table lacks, a value of the wrong size) is a fault.
  template <typename Compute>
  void GuardKeys(const std::string& name, size_t i, std::optional<IndexKeyEncoder>& encoder,
                 Compute compute) {
    try {
      compute();
    } catch (const DamagedError& error) {
      Fault(name + "'s index " + std::to_string(i) + ": " + error.what());
      encoder.reset();
    } catch (const JetError& error) {
      Note(name + "'s index " + std::to_string(i) + ": its keys are not compared with the rows' values: " +
           error.what());
      encoder.reset();
    }
  }

  // `computed` holds the keys computed from the rows, or is null when they are not compared.
  void CheckIndex(const std::string& name, size_t i, const TableDefinition& table,
                  const std::vector<uint32_t>& rows, const RowKeys* computed) {
    const RealIndex& index = table.real_indexes[i];
    const std::string what = name + "'s index " + std::to_string(i);
    std::vector<uint32_t> mapped = MapPages(index.usage_map, table.page);
    // Level by level from the root: each level's pages, linked left to right, must be the
    // children its parent level names, in the same order. An intermediate page's tail
    // page is its last child, after those its entries name.
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
          if (read.tail_page != 0) children.push_back(read.tail_page);
        }
        page = read.next_page;
      }
      if (level != expected) Fault(what + ": the pages of a level are not linked in the order their parents name them");
      expected = std::move(children);
    }
    if (std::vector<uint32_t>(tree.begin(), tree.end()) != mapped) {
      Fault(what + ": its usage map does not list exactly the pages of its tree");
    }
    for (uint32_t page : tree) Claim(page, {PageUse::kIndex, table.page, static_cast<uint32_t>(i)}, name);

    IndexReader entries(pages_, format_, index.root_page);
    IndexEntry entry;
    std::vector<uint8_t> previous, current;
    std::vector<uint32_t> named;
    std::optional<uint32_t> first_mismatch;
    size_t mismatches = 0;
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
      const uint32_t row = PackRowPointer(entry.data_page, entry.data_row);
      named.push_back(row);
      // An entry naming no row is a fault of the one-to-one match below.
      if (computed == nullptr) continue;
      auto found = std::lower_bound(computed->begin(), computed->end(), std::make_pair(row, uint64_t{0}));
      if (found != computed->end() && found->first == row && found->second != KeyHash(entry.key)) {
        if (mismatches++ == 0) first_mismatch = row;
      }
    }
    if (first_mismatch) {
      const RowPointer at = RowPointer::FromU32(*first_mismatch);
      Fault(what + ": the key of row " + std::to_string(at.row) + " of page " + std::to_string(at.page) +
            " does not match the row's values" +
            (mismatches > 1 ? " (nor do " + std::to_string(mismatches - 1) + " more entries' keys)" : ""));
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
  PageOwners owners_;
  std::map<uint32_t, std::string> claimed_by_;  // the name of each table when it first claimed a page
  IntegrityReport report_;
  uint64_t cover_end_ = 0;  // of the global map; 0 until it reads
};

}  // namespace

IntegrityReport CheckIntegrity(Database& database) {
  if (database.format().version != Version::kJet4) {
    return {{"the database is not in the Jet 4 format"}, {}};
  }
  return Checker(database).Run();
}

}  // namespace vintrel::jet
