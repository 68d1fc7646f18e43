// The structural check of a Jet 4 database, for copies the compaction writes (a database
// Jet itself has long used may fail it: Jet leaves pages that nothing owns):
//
//   - every page is owned by exactly one thing (the definition page, the global map, a
//     table's definition, data, index or long-value pages, usage-map rows and map pages)
//     or is marked free in the global map;
//   - each usage map lists exactly the pages of its kind that its table owns;
//   - each index's entries are in strictly increasing order and name every row of its
//     table once (an index that ignores nulls may leave rows out), and no other row;
//   - every row, with its long values, reads whole, and the row count is right.
#pragma once

#include <string>
#include <vector>

#include "jet/database.h"

namespace vintrel::jet {

// Every fault found, each a sentence naming the table or page; empty when sound.
std::vector<std::string> CheckIntegrity(Database& database);

}  // namespace vintrel::jet
