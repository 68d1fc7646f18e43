// Compaction of a Jet database into a new Jet 4 file.
//
// The copy holds every table of the source's catalog, system tables included: each
// table's definition as stored (with its row count, maps and index roots renewed), its
// live rows packed into new data pages (in primary-key order where the table has a
// primary key), its long values on new long-value pages, and each index rebuilt over the
// rows' new places from the source index's keys. Everything else of the source (deleted
// rows, free pages, pages nothing owns) is left out. A Jet 3 source is converted on the way
// (jet4_conversion.h): its definitions laid out anew, its text re-encoded and its index keys
// computed from the values.
//
// The definitions move to the front of the copy, which renumbers the tables: see
// renumbering.h. The copy has no free pages; docs/jet-format.md gives its page order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jet/compact/content_digest.h"
#include "jet/compact/lost_rows.h"
#include "jet/database.h"
#include "jet/io/page_output.h"
#include "jet/io/source_lock.h"

namespace vintrel::jet {

struct CompactionFigures {
  uint32_t source_pages = 0;
  uint32_t copy_pages = 0;
  uint64_t rows = 0;
  ContentDigest content;  // of the source, as the copy should hold it
  std::vector<std::string> repairs;  // each derived structure rebuilt, and why
  std::vector<LostRows> losses;      // rows a salvaging compaction could not copy
};

struct CompactionOptions {
  // Copies every row that can be read rather than refusing a database that loses rows.
  bool salvage = false;
  // Records the losses in the copy, in a table of their own (loss_table.h); a salvaging
  // compaction that finds losses writes its copy again with this set.
  bool record_losses = false;
  // Gives the written copy what it must keep of the source's file besides its content (its
  // owner and mode, say): called with the source's and the copy's descriptors before the copy
  // is flushed and named. What it raises is passed on, and no copy is left.
  std::function<void(NativeFile source, NativeFile copy)> finish_copy = nullptr;
};

// Writes the compacted copy of `source` through `output` and finishes the file. A Jet 3
// source that does not convert (RequireConvertible) raises UnsupportedError before anything
// is written.
CompactionFigures WriteCompactedCopy(Database& source, PageOutput& output, const CompactionOptions& options = {});

// Compacts the locked source into a new file `destination_path`. The copy is written beside
// the destination under a temporary name, read back and compared with the source, flushed,
// and only then given the destination's name, provided the source has not changed since it
// was locked. On failure nothing is left under either name. Raises JetError with the
// description a user sees.
// Damage to the source is raised naming it: "The database '<path>' is damaged: ...".
CompactionFigures CompactDatabase(const SourceLock& source, const std::string& destination_path,
                                  const CompactionOptions& options = {});

// The same, with `source_path` locked for the duration of the call.
CompactionFigures CompactDatabase(const std::string& source_path, const std::string& destination_path,
                                  const CompactionOptions& options = {});

}  // namespace vintrel::jet
