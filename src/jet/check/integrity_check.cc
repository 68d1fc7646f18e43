// The checker reads every structure itself, claiming pages as it goes (page_owners.h), and
// reads rows page by page and slot by slot rather than through a TableReader, so that a row
// that does not read costs that row only and the rest of the table is still checked. What a
// compaction does about each fault decides its remedy: it rebuilds indexes from computed
// keys, maps from the pages that name their owner, the counter from the rows; it loses what
// does not read; it refuses a damaged catalog or definition, and an index it cannot key.
#include "jet/check/integrity_check.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "jet/check/index_check.h"
#include "jet/check/page_owners.h"
#include "jet/check/report_text.h"
#include "jet/check/row_keys.h"
#include "jet/coding.h"
#include "jet/jet_error.h"
#include "jet/pages/data_page.h"
#include "jet/pages/usage_map.h"
#include "jet/table_reader.h"
#include "text/utf.h"

namespace vintrel::jet {
namespace {

// A row pointer names one of 256 rows on a page.
constexpr size_t kMaxRowsPerPage = 256;

// A page a table's usage map lists that does not read as its data page, or a data page of
// the table whose row offsets do not read.
struct ForeignPage {
  uint32_t page;
  std::string what;  // what it reads as, or why it does not read
  bool own;          // the table's own data page
  size_t named = 0;  // its rows that an index names, the most over the table's indexes
};

// The foreign pages of one table, judged once every page's owner is known.
struct ForeignPages {
  std::string table_name;
  uint32_t table;
  Remedy lost;  // what losing its rows means
  std::vector<ForeignPage> pages;
};

// The rows of a table as its pages hold them.
struct TableRows {
  std::vector<uint32_t> live;  // every live slot's row pointer, whether it reads or not, sorted
  std::vector<ForeignPage> foreign;
  std::optional<int64_t> largest_autonumber;
};

class Checker {
 public:
  explicit Checker(Database& database)
      : db_(database), pages_(database.pages()), format_(database.format()),
        owners_(pages_.page_count()) {}

  IntegrityReport Run() {
    Claim(0, {PageUse::kDatabaseDefinition, 0, 0});
    Claim(kGlobalMapPage, {PageUse::kGlobalMap, 0, 0});
    try {
      ClaimFreePages();
    } catch (const JetError& error) {
      Fault(Remedy::kRepaired, "the global map: " + std::string(error.what()));
      cover_end_ = UINT64_MAX;  // without its window, an unowned page is only lost space
    }
    // The catalog is read through the same walk as every table, so that its rows are found
    // as a compaction finds them.
    std::vector<CatalogEntry> tables;
    const bool catalog_defined = CheckTable("table MSysObjects", kCatalogPage, &tables);
    for (const CatalogEntry& entry : tables) {
      if (entry.type == kCatalogLocalTable) table_pages_.insert(entry.definition_page());
    }
    const bool listed = table_pages_.contains(kCatalogPage);
    if (!listed && catalog_defined) Fault(Remedy::kRefused, "the catalog does not list itself");
    table_pages_.insert(kCatalogPage);
    for (const CatalogEntry& entry : tables) {
      if (entry.type == kCatalogLocalTable && entry.definition_page() != kCatalogPage) {
        CheckTable("table " + ToUtf8(entry.name), entry.definition_page(), nullptr);
      }
    }
    ReportForeignPages();
    NoteUnowned();
    return std::move(report_);
  }

 private:
  void Fault(Remedy remedy, const std::string& text) { report_.faults.push_back({remedy, text}); }
  void Note(const std::string& text) { report_.notes.push_back(text); }

  // Runs `check`; damage it raises is a fault of `what`, with `remedy`.
  template <typename Check>
  void Guard(const std::string& what, Remedy remedy, Check check) {
    try {
      check();
    } catch (const JetError& error) {
      Fault(remedy, what + ": " + error.what());
    }
  }

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
        Fault(Remedy::kRepaired, "page " + std::to_string(page) +
                                     " is owned by nothing and lies past the pages the global map covers");
        continue;
      }
      uint32_t last = page;
      while (last + 1 < owners_.size() && last + 1 < cover_end_ &&
             owners_[last + 1].use == PageUse::kUnowned) {
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

  // A page two things claim is damage to the one whose claim is derived (a map, an index
  // tree): `remedy` is that of this claim. Two definitions sharing a page are refused.
  void Claim(uint32_t page, const PageOwner& owner, const std::string& name = {},
             Remedy remedy = Remedy::kRepaired) {
    if (page < owners_.size()) {
      const PageOwner current = owners_[page];
      if (owners_.Claim(page, owner)) {
        claimed_by_.emplace(owner.table, name);
        return;
      }
      const bool definitions =
          current.use == PageUse::kTableDefinition && owner.use == PageUse::kTableDefinition;
      Fault(definitions ? Remedy::kRefused : remedy, "page " + std::to_string(page) + " is owned by both " +
                                                         Describe(current, claimed_by_[current.table]) +
                                                         " and " + Describe(owner, name));
    } else {
      Fault(remedy,
            Describe(owner, name) + " claims page " + std::to_string(page) + ", beyond the end of the file");
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

  // Whether a page a map lists is plainly something other than what the map says: then the
  // map is wrong, not the page.
  bool Recognised(uint32_t page, const Page& read) const {
    if (owners_[page].use != PageUse::kUnowned) return true;
    switch (read.type()) {
      case PageType::kDatabaseDefinition: return page == 0;
      case PageType::kData: {
        const uint32_t owner = read.View("data page").U32(format_.data_table_page);
        return owner == kLongValueOwner || table_pages_.contains(owner);
      }
      case PageType::kTableDefinition:
      case PageType::kIndexIntermediate:
      case PageType::kIndexLeaf:
      case PageType::kUsageMap: return true;
    }
    return false;
  }

  // The pages of `table`'s rows, claimed; those its map lists that are not its own are kept
  // in `rows` to be judged at the end.
  std::vector<uint32_t> ClaimDataPages(const std::string& name, const TableDefinition& table,
                                       TableRows& rows) {
    std::vector<uint32_t> listed;
    try {
      listed = MapPages(table.usage_map, table.page);
    } catch (const JetError& error) {
      Fault(Remedy::kRepaired, name + "'s usage map: " + error.what() +
                                   " (its data pages are found by the owner they name)");
      listed = DataPagesOwnedBy(pages_, format_, table.page);  // as a compaction finds them
    }
    const PageOwner data = {PageUse::kTableData, table.page, 0};
    std::vector<uint32_t> own;
    for (uint32_t page : listed) {
      if (page >= owners_.size()) {
        Fault(Remedy::kRepaired,
              name + "'s usage map lists page " + std::to_string(page) + ", beyond the end of the file");
        continue;
      }
      PageRef read = pages_.Get(page, "data page");
      const uint32_t owner = read->View("data page").U32(format_.data_table_page);
      if (read->type() == PageType::kData && owner == table.page) {
        own.push_back(page);
        Claim(page, data, name);
        continue;
      }
      rows.foreign.push_back({page,
                              "type " + std::to_string(static_cast<unsigned>(read->type())) +
                                  (read->type() == PageType::kData ? ", owner " + std::to_string(owner) : ""),
                              false});
    }
    return own;
  }

  void CheckFreeSpaceMap(const std::string& name, const TableDefinition& table,
                         const std::vector<uint32_t>& data, const TableRows& rows) {
    for (uint32_t page : MapPages(table.free_space_map, table.page)) {
      const bool foreign = std::any_of(rows.foreign.begin(), rows.foreign.end(),
                                       [&](const ForeignPage& listed) { return listed.page == page; });
      if (!foreign && !std::binary_search(data.begin(), data.end(), page)) {
        Fault(Remedy::kRepaired,
              name + "'s free-space map lists page " + std::to_string(page) + ", which is not its data page");
      }
    }
  }

  // Long values are reached through their rows' pointers, so a wrong map loses nothing;
  // a value that does not read is a fault of its row.
  void CheckLongValueMaps(const std::string& name, const TableDefinition& table) {
    for (const LongValueMaps& maps : table.long_value_maps) {
      const std::string what = name + "'s long values of column " + std::to_string(maps.column_number);
      const PageOwner values = {PageUse::kLongValues, table.page, maps.column_number};
      Guard(what + ", their usage map", Remedy::kRepaired, [&] {
        for (uint32_t page : MapPages(maps.usage_map, table.page)) {
          if (page >= owners_.size()) {
            Fault(Remedy::kRepaired,
                  what + " are mapped to page " + std::to_string(page) + ", beyond the end of the file");
            continue;
          }
          PageRef read = pages_.Get(page, "long value");
          if (read->type() == PageType::kData &&
              read->View("long value").U32(format_.data_table_page) == kLongValueOwner) {
            Claim(page, values, name);
            continue;
          }
          Fault(Remedy::kRepaired,
                what + " are mapped to page " + std::to_string(page) + ", which is not a long-value page");
          if (!Recognised(page, *read)) Claim(page, values, name);
        }
      });
      // Tables Access adds to a database (MSysNameMap, MSysAccessXML) name none; a
      // compaction writes one.
      if (maps.free_space_map == 0) {
        Note(what + " have no free-space map");
      } else {
        Guard(what + ", their free-space map", Remedy::kRepaired,
              [&] { MapPages(maps.free_space_map, table.page); });
      }
    }
  }

  // Reads every live row of the table's pages, keying each for its indexes. A row that does
  // not read is still a live row, which the indexes should name.
  template <typename EachRow>
  void ReadRows(const std::string& name, const TableDefinition& table, const std::vector<uint32_t>& data,
                TableKeys& keys, TableRows& rows, Remedy lost, EachRow each_row) {
    const auto autonumber = std::find_if(table.columns.begin(), table.columns.end(), [](const Column& c) {
      return c.type == static_cast<uint8_t>(ColumnType::kLong) && (c.flags & kColumnAutoNumber) != 0;
    });
    std::vector<Field> fields;
    std::vector<size_t> offsets;
    for (uint32_t page : data) {
      std::optional<DataPage> read;
      try {
        read.emplace(pages_.Get(page, "data page"), format_, "data page");
        if (read->row_count() > kMaxRowsPerPage) {
          RaiseDamaged("data page", page,
                       std::to_string(read->row_count()) + " rows are more than row pointers name");
        }
      } catch (const JetError& error) {
        rows.foreign.push_back({page, error.what(), true});
        continue;
      }
      size_t unreadable = 0;
      std::string first;
      for (uint16_t r = 0; r < read->row_count(); ++r) {
        const uint32_t pointer = PackRowPointer(page, static_cast<uint8_t>(r));
        try {
          const RowSlot slot = read->Row(r);
          if (slot.deleted) continue;
          ByteView bytes = slot.bytes;
          PageRef keep;
          if (slot.moved) bytes = FollowMovedRow(pages_, format_, bytes, keep);
          DecodeRow(pages_, format_, table, bytes, offsets, fields);
        } catch (const JetError& error) {
          rows.live.push_back(pointer);  // Row raises only for a row that is not deleted
          if (unreadable++ == 0) first = "row " + std::to_string(r) + ": " + error.what();
          continue;
        }
        rows.live.push_back(pointer);
        keys.Add(pointer, fields);
        each_row(pointer, fields);
        if (autonumber != table.columns.end()) {
          const Field& number = fields[static_cast<size_t>(autonumber - table.columns.begin())];
          if (!number.null && number.bytes.size() == 4) {
            const int64_t value = static_cast<int32_t>(ByteView(number.bytes, "data page", page).U32(0));
            rows.largest_autonumber = std::max(rows.largest_autonumber.value_or(value), value);
          }
        }
      }
      if (unreadable > 0) {
        Fault(lost, name + ": " + Count(unreadable, "row") + " of page " + std::to_string(page) + " do" +
                        (unreadable == 1 ? "es" : "") + " not read (" + first + ")");
      }
    }
    std::sort(rows.live.begin(), rows.live.end());
  }

  // `catalog`, given for the catalog's own table, receives its entries. False when the
  // definition does not read.
  bool CheckTable(const std::string& name, uint32_t definition_page, std::vector<CatalogEntry>* catalog) {
    std::optional<TableDefinition> read;
    try {
      read.emplace(db_.ReadTable(definition_page));
    } catch (const JetError& error) {
      // A salvage leaves out a table whose definition does not read, all its rows with it;
      // the catalog's own it cannot do without.
      Fault(definition_page == kCatalogPage ? Remedy::kRefused : Remedy::kRowsLost,
            name + "'s definition: " + error.what());
      return false;
    }
    const TableDefinition& table = *read;
    // The catalog's rows are the database's objects: one that does not read is refused.
    const Remedy lost = definition_page == kCatalogPage ? Remedy::kRefused : Remedy::kRowsLost;
    for (uint32_t page : table.pages)
      Claim(page, {PageUse::kTableDefinition, definition_page, 0}, name, Remedy::kRefused);

    TableRows rows;
    const std::vector<uint32_t> data = ClaimDataPages(name, table, rows);
    Guard(name + "'s free-space map", Remedy::kRepaired, [&] { CheckFreeSpaceMap(name, table, data, rows); });
    CheckLongValueMaps(name, table);

    std::optional<CatalogRowReader> entries;
    if (catalog != nullptr) {
      Guard(name, Remedy::kRefused, [&] { entries.emplace(table, db_.text()); });
    }
    TableKeys keys(db_, table);
    ReadRows(name, table, data, keys, rows, lost, [&](uint32_t pointer, const std::vector<Field>& fields) {
      if (!entries) return;
      try {
        catalog->push_back(entries->Read(fields));
      } catch (const JetError& error) {
        Fault(Remedy::kRefused, name + ": " + RowName(pointer) + ": " + error.what());
      }
    });
    keys.Finish();
    // A stored count is derived: Jet leaves it stale in sound files, above the rows as well
    // as below them, and a compaction writes it anew.
    if (rows.live.size() != table.row_count) {
      Note(name + " has " + std::to_string(rows.live.size()) + " rows where its definition says " +
           std::to_string(table.row_count));
    }
    // Jet's counter holds the last number it gave out.
    if (rows.largest_autonumber && *rows.largest_autonumber > int64_t{table.next_autonumber}) {
      Fault(Remedy::kRepaired,
            name + "'s autonumber counter stands at " + std::to_string(table.next_autonumber) +
                ", below the largest number it holds, " + std::to_string(*rows.largest_autonumber));
    }
    CheckIndexes(name, table, keys, rows);
    if (!rows.foreign.empty()) foreign_.push_back({name, table.page, lost, std::move(rows.foreign)});
    return true;
  }

  // A listed page that is plainly something else is a stale mark of the map, unless the
  // table's indexes name rows on it; a page that reads as nothing, like an own page that
  // does not read, held rows that are lost. Those are claimed for the table.
  void ReportForeignPages() {
    for (const ForeignPages& table : foreign_) {
      for (const ForeignPage& page : table.pages) {
        PageRef read = pages_.Get(page.page, "data page");
        const bool recognised = !page.own && Recognised(page.page, *read);
        const std::string named =
            page.named > 0 ? "; its indexes name " + Count(page.named, "row") + " on it" : "";
        if (page.own) {
          Fault(table.lost, "page " + std::to_string(page.page) + " of " + table.table_name +
                                "'s data does not read (" + page.what + ")" + named +
                                ": the rows it held are lost");
          continue;
        }
        const std::string listing = table.table_name + "'s usage map lists page " +
                                    std::to_string(page.page) + ", which is not one of its data pages (" +
                                    page.what + ")";
        if (recognised && page.named == 0) {
          Fault(Remedy::kRepaired, listing);
          continue;
        }
        Fault(table.lost, listing + named + ": the rows it held are lost");
        if (!recognised) Claim(page.page, {PageUse::kTableData, table.table, 0}, table.table_name);
      }
    }
  }

  // What a compaction does about damage to an index: an index it cannot key it cannot
  // rebuild either.
  void CheckIndexes(const std::string& name, const TableDefinition& table, TableKeys& keys, TableRows& rows) {
    for (size_t i = 0; i < table.real_indexes.size(); ++i) {
      const std::string what = name + "'s index " + std::to_string(i);
      const RealIndex& index = table.real_indexes[i];
      const IndexKeys& computed = keys.indexes()[i];
      if (!computed.damage.empty()) Fault(Remedy::kRefused, what + ": " + computed.damage);
      const std::string& why = computed.unkeyable.empty() ? computed.not_compared : computed.unkeyable;
      if (!why.empty()) Note(what + ": its keys are not compared with the rows' values: " + why);
      const Remedy remedy = computed.encoder ? Remedy::kRepaired : Remedy::kRefused;
      std::vector<uint32_t> foreign;
      for (const ForeignPage& page : rows.foreign) foreign.push_back(page.page);
      Guard(what, remedy, [&] {
        const IndexFindings findings =
            CheckIndex(pages_, format_, what, index, computed, MapPages(index.usage_map, table.page),
                       rows.live, foreign, remedy);
        report_.faults.insert(report_.faults.end(), findings.faults.begin(), findings.faults.end());
        for (uint32_t page : findings.tree) {
          Claim(page, {PageUse::kIndex, table.page, static_cast<uint32_t>(i)}, name, remedy);
        }
        for (ForeignPage& page : rows.foreign)
          page.named = std::max(page.named, findings.on_foreign.at(page.page));
      });
    }
  }

  Database& db_;
  PageCache& pages_;
  const Format& format_;
  PageOwners owners_;
  std::set<uint32_t> table_pages_;              // the definition page of every table the catalog lists
  std::vector<ForeignPages> foreign_;
  std::map<uint32_t, std::string> claimed_by_;  // the name of each table when it first claimed a page
  IntegrityReport report_;
  uint64_t cover_end_ = 0;  // of the global map; 0 until it reads
};

}  // namespace

Remedy IntegrityReport::worst() const {
  Remedy worst = Remedy::kRepaired;
  for (const Fault& fault : faults) worst = std::max(worst, fault.remedy);
  return worst;
}

IntegrityReport CheckIntegrity(Database& database) { return Checker(database).Run(); }

}  // namespace vintrel::jet
