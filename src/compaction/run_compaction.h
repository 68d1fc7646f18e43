// One pass over every database of the list; the only place where failures are caught.
#pragma once

#include "compaction/compaction_host.h"

namespace vintrel {

// Compacts the databases in list order. The first failure ends the pass and its description
// goes to host.ReportError; nothing leaves this function.
void RunCompaction(CompactionHost& host);

}  // namespace vintrel
