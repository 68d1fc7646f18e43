// Opens the input as a database and reads everything the engine can read: the catalog,
// every table's rows and long values, every index's entries and every usage map; checks it
// (which reports damage rather than raising); then writes its compacted copy (a Jet 3
// input's conversion) into an unnamed memory file, once refusing lost rows and once
// salvaging. A JetError is the expected end of a
// damaged input; anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <streambuf>
#include <vector>

#include <sys/mman.h>

#include "jet/check/integrity_check.h"
#include "jet/check/page_owners.h"
#include "jet/compact/compact_database.h"
#include "jet/io/file_io.h"
#include "jet/io/page_output.h"
#include "jet/database.h"
#include "jet/jet_error.h"
#include "jet/pages/index_page.h"
#include "jet/pages/usage_map.h"
#include "tools/jet/json_dump.h"

namespace {

class DiscardBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void WalkUsageMap(vintrel::jet::Database& db, uint32_t row_pointer, uint32_t owner) {
  vintrel::jet::UsageMap map(db.pages(), db.format(), row_pointer, owner);
  uint32_t from = 0;
  while (auto page = map.NextPage(from)) {
    if (*page == UINT32_MAX) break;
    from = *page + 1;
  }
}

void ReadEverything(vintrel::jet::Database& db) {
  DiscardBuffer discard;
  std::ostream sink(&discard);
  vintrel::jet::WriteDump(db, sink);
  vintrel::jet::MapPageOwners(db);
  for (const vintrel::jet::CatalogEntry& entry : db.ReadCatalog()) {
    if (entry.type != vintrel::jet::kCatalogLocalTable) continue;
    vintrel::jet::TableDefinition table = db.ReadTable(entry.definition_page());
    WalkUsageMap(db, table.free_space_map, table.page);
    for (const vintrel::jet::LongValueMaps& maps : table.long_value_maps) {
      WalkUsageMap(db, maps.free_space_map, table.page);
    }
    for (const vintrel::jet::RealIndex& index : table.real_indexes) {
      WalkUsageMap(db, index.usage_map, table.page);
      vintrel::jet::IndexReader reader(db.pages(), db.format(), index.root_page);
      vintrel::jet::IndexEntry index_entry;
      while (reader.Next(index_entry)) {
      }
    }
  }
}

// Scratch files of the copy (row moves, index entries) would go beside it, in /tmp.
void CompactEverything(vintrel::jet::Database& db, const vintrel::jet::CompactionOptions& options) {
  vintrel::jet::Descriptor copy(::memfd_create("fuzz-copy", MFD_CLOEXEC));
  vintrel::jet::PageOutput output(std::move(copy), "/tmp/fuzz-copy.mdb",
                                  vintrel::jet::kJet4Format.page_size);
  vintrel::jet::WriteCompactedCopy(db, output, options);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<vintrel::jet::Database> db;
  try {
    db = vintrel::jet::Database::OpenBytes(std::vector<uint8_t>(data, data + size), "fuzz.mdb");
    ReadEverything(*db);
  } catch (const vintrel::jet::JetError&) {
  }
  if (!db) return 0;
  vintrel::jet::CheckIntegrity(*db);
  // As a compaction repairs what is derived from the rows, and as a salvage copies the rows
  // it can read and records the others.
  for (const vintrel::jet::CompactionOptions& options : {vintrel::jet::CompactionOptions{},
                                                         vintrel::jet::CompactionOptions{true, true}}) {
    try {
      CompactEverything(*db, options);
    } catch (const vintrel::jet::JetError&) {
    }
  }
  return 0;
}
