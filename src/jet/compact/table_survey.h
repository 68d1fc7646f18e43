// What of a table's derived structures the copy may take as the source stores them. Its rows
// are what a compaction keeps; its usage map and indexes are derived from them, so where they
// are damaged the copy finds the rows another way and builds the indexes anew from the rows'
// keys (index_key.h), and says so.
//
// The survey reads only maps and index pages, which are few beside the rows. What only the
// rows can tell (an index naming rows it should not, or keys that are not its rows') is found
// while the table is copied, and the copy of the table starts again with the index marked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"

namespace vintrel::jet {

struct TableSurvey {
  // When the usage map cannot be read: the data pages that name the table as their owner.
  std::optional<std::vector<uint32_t>> owned_pages;
  std::string map_damage;
  // The table's other maps (of free space, of long values) that cannot be read, each named.
  std::vector<std::string> other_map_damage;
  // Per real index: what is damaged in it, to be said when it is built anew; empty when the
  // survey found nothing.
  std::vector<std::string> index_damage;
  // Per real index: built from the rows' keys rather than copied as stored. Besides damage,
  // a conversion (whose keys change with the text's encoding) and a table that loses rows
  // (whose indexes would name them) build every index so.
  std::vector<bool> rebuild;
  // Source rows a salvaging copy leaves out (their row pointers), found late.
  std::vector<uint32_t> dropped;

  void RebuildAll() { rebuild.assign(rebuild.size(), true); }
};

TableSurvey SurveyTable(Database& source, const TableDefinition& table);

// Why the index cannot be taken as stored: a page of its tree that does not read as an index
// page of the table, or a tree whose levels are mixed or loop.
std::optional<std::string> FindIndexDamage(Database& source, const TableDefinition& table,
                                           const RealIndex& index);

}  // namespace vintrel::jet
