// Copies one table into the destination: its live rows packed densely into new data pages
// (in primary-key order when the table has a primary key), its long values onto new
// long-value pages, every real index rebuilt over the rows' new places, and its
// definition rewritten with the new row count, maps and index roots.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/compact/content_digest.h"
#include "jet/compact/renumbering.h"
#include "jet/database.h"
#include "jet/io/page_output.h"
#include "jet/pages/data_page_builder.h"

namespace vintrel::jet {

// Usage-map rows of every table share pages whose owner word is 0, as in Jet's own files.
class MapRows {
 public:
  MapRows(const Format& format, PageOutput& output) : format_(format), output_(output) {}
  // Stores a map row; returns its row pointer.
  uint32_t Add(const std::vector<uint8_t>& row);
  void Flush();

 private:
  const Format& format_;
  PageOutput& output_;
  std::optional<DataPageBuilder> page_;
};

struct CopiedTable {
  uint64_t rows = 0;
  TableDigest digest;  // of the rows as the copy holds them, summed from the source
};

struct TableToCopy {
  std::u16string name;
  uint32_t source_page;  // of its definition
  uint32_t copy_page;
};

CopiedTable CopyTable(Database& source, const TableToCopy& table, const Renumbering& renumbering,
                      PageOutput& output, MapRows& maps);

}  // namespace vintrel::jet
