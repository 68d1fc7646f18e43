// The structural check of a Jet 4 database, as the compaction writes it and as Jet leaves
// it:
//
//   - every page is owned by exactly one thing (the definition page, the global map, a
//     table's definition, data, index or long-value pages, usage-map rows and map pages)
//     or is marked free in the global map;
//   - each usage map lists exactly the pages of its kind that its table owns;
//   - each index's entries are in strictly increasing order and name every row of its
//     table once (an index that ignores nulls may leave rows out), and no other row;
//   - each entry's key is the key of its row's values (index_key.h); an index whose keys
//     cannot be computed here (a column type or sort order without an encoding) is noted
//     and its keys are not compared;
//   - every row, with its long values, reads whole, and the row count is right.
//
// What Jet itself leaves in sound files that every reader opens (pages nobody owns, stale
// row counts of its own system tables, map quirks; docs/jet-format.md lists them) are
// notes, not faults. Each is recognised as narrowly as the files show it, so that the same
// symptom of real damage stays a fault.
#pragma once

#include <string>
#include <vector>

#include "jet/database.h"

namespace vintrel::jet {

struct IntegrityReport {
  std::vector<std::string> faults;  // damage: each a sentence naming the table or page
  std::vector<std::string> notes;   // what Jet leaves behind and readers tolerate

  bool sound() const { return faults.empty(); }
};

IntegrityReport CheckIntegrity(Database& database);

}  // namespace vintrel::jet
