// Reads a table's rows in storage order: the data pages its usage map marks, in page
// order, and the rows of each page in row order. Only one page's worth of state is held,
// so a table of any size is read in constant memory (apart from the current row).
// The rows are decoded by DecodeRow (pages/row_decoder.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/pages/data_page.h"
#include "jet/pages/field.h"
#include "jet/pages/row_decoder.h"
#include "jet/pages/table_definition.h"
#include "jet/pages/usage_map.h"

namespace vintrel::jet {

// Addresses of a row as it was found: its slot, and for a moved row where it lives.
struct RowLocation {
  uint32_t page;
  uint16_t row;
};

// The data pages of a table, in page order: those its usage map marks, or, where the map
// cannot be trusted, a list found otherwise (the pages naming the table as their owner).
// A page the map marks that belongs to something else is passed over, as maps can lag
// behind the pages' reuse; one that is of no page type at all, zeroed or garbage, raises:
// it may have held rows.
class DataPageWalk {
 public:
  // `listed`, when given, outlives the walk.
  DataPageWalk(PageCache& pages, const Format& format, const TableDefinition& table,
               const std::vector<uint32_t>* listed = nullptr);

  // The next data page of the table; nullopt after the last. After a DamagedError the walk
  // goes on past the page that raised it.
  std::optional<DataPage> Next();
  // The next page the table's map lists (or the next listed page), not yet read; Read
  // then reads it as Next would: nullopt for a page of another table.
  std::optional<uint32_t> NextListed();
  std::optional<DataPage> Read(uint32_t page);
  uint32_t page_number() const { return page_number_; }
  // The data pages passed over so far for belonging to another table.
  const std::vector<uint32_t>& foreign_pages() const { return foreign_pages_; }

 private:
  PageCache& pages_;
  const Format& format_;
  const TableDefinition& table_;
  std::optional<UsageMap> map_;
  const std::vector<uint32_t>* listed_;
  size_t listed_next_ = 0;
  uint32_t page_number_ = 0;
  bool started_ = false;
  std::vector<uint32_t> foreign_pages_;
};

class TableReader {
 public:
  TableReader(PageCache& pages, const Format& format, const TableDefinition& table,
              const std::vector<uint32_t>* listed_pages = nullptr, LongValues long_values = LongValues::kWhole);

  // Fills `fields` (one per column of the definition, in its order) with the next live
  // row; false after the last. After a DamagedError (a row or page that cannot be read) the
  // reader goes on past the row or page that raised it.
  bool Next(std::vector<Field>& fields);
  RowLocation location() const { return {pages_walk_.page_number(), static_cast<uint16_t>(next_row_ - 1)}; }
  // After a DamagedError: whether it was the page at location() that could not be read,
  // rather than its row.
  bool failed_on_page() const { return reading_page_; }
  const std::vector<uint32_t>& foreign_pages() const { return pages_walk_.foreign_pages(); }

 private:
  PageCache& pages_;
  const Format& format_;
  const TableDefinition& table_;
  DataPageWalk pages_walk_;
  std::optional<DataPage> page_;
  uint16_t next_row_ = 0;
  bool reading_page_ = false;
  LongValues long_values_;
  std::vector<size_t> var_offsets_;
};

// Why a usage map of `owner` (the map's row pointer) cannot be read, if it cannot: its row or
// a map page does not read, or it marks a page past the end of the file.
std::optional<std::string> UsageMapDamage(PageCache& pages, const Format& format, uint32_t map, uint32_t owner);

// The data pages that name `table` as their owner, in page order, for a table whose usage
// map cannot be read. The pages the global map marks free are left out when it can be read:
// a dropped table's pages can still name a definition page that a newer table took over.
std::vector<uint32_t> DataPagesOwnedBy(PageCache& pages, const Format& format, uint32_t table);

}  // namespace vintrel::jet
