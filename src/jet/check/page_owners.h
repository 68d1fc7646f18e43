// Who owns each page of the file, as the usage maps and definitions tell it: the pages a
// compaction must carry over and the ones it can leave out. Pages nobody claims are free,
// or orphaned (a dropped table whose pages were never marked free).
#pragma once

#include <cstdint>
#include <vector>

#include "jet/database.h"

namespace vintrel::jet {

enum class PageUse : uint8_t {
  kUnowned,
  kDatabaseDefinition,
  kTableDefinition,
  kTableData,   // rows of `table`
  kLongValues,  // values of `table`'s column `part`
  kIndex,       // pages of `table`'s real index `part`
  kUsageMap,    // page 1, and the pages holding map rows and map bitmaps; shared
};

struct PageOwner {
  PageUse use = PageUse::kUnowned;
  uint32_t table = 0;  // definition page of the owning table
  uint32_t part = 0;
};

// One entry per page. A page that two owners claim is damage.
std::vector<PageOwner> MapPageOwners(Database& database);

}  // namespace vintrel::jet
