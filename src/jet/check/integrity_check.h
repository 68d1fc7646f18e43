// The structural check of a Jet 3 or Jet 4 database, as the compaction writes it and as Jet
// leaves it:
//
//   - every page is owned by exactly one thing (the definition page, the global map, a
//     table's definition, data, index or long-value pages, usage-map rows and map pages)
//     or is marked free in the global map;
//   - each usage map lists exactly the pages of its kind that its table owns;
//   - each index's entries are in strictly increasing order and name every row of its
//     table once (an index that ignores nulls may leave rows out), and no other row; no two
//     rows share a key in a unique index;
//   - each entry's key is the key of its row's values (row_keys.h); an index whose keys
//     cannot be computed here (a column type or sort order without an encoding) is noted
//     and its keys are not compared;
//   - every row, with its long values, reads whole; the autonumber counter is not below
//     the largest number the table holds.
//
// Each finding says what a compaction does about it. Notes are what Jet leaves in sound
// files that every reader opens, and derived data Jet leaves stale that a compaction
// rewrites (pages nobody owns, stored row counts, map quirks; docs/jet-format.md lists
// them). Faults are damage: to what a compaction rebuilds from the rows (indexes, maps, the
// counter), to rows, or to what it cannot do without (the catalog, a definition, an index
// it cannot key). Each note is recognised as narrowly as the files show it, so that the
// same symptom of real damage stays a fault.
#pragma once

#include <string>
#include <vector>

#include "jet/database.h"

namespace vintrel::jet {

// What a compaction does about a fault, from the mildest.
enum class Remedy {
  kRepaired,  // derived from the rows, it is rebuilt: nothing is lost
  kRowsLost,  // rows or long values that cannot be read: only a salvage copies the rest
  kRefused,   // the catalog, a table definition, or an index it cannot rebuild: refused
};

struct Fault {
  Remedy remedy;
  std::string text;  // a sentence naming the table or page
};

struct IntegrityReport {
  std::vector<Fault> faults;
  std::vector<std::string> notes;

  bool sound() const { return faults.empty(); }
  // The gravest remedy among the faults (kRepaired when there are none).
  Remedy worst() const;
};

IntegrityReport CheckIntegrity(Database& database);

}  // namespace vintrel::jet
