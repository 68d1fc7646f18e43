// One pass over every database of the list; the only place where failures are caught.
#pragma once

#include "compaction/compaction_host.h"

namespace vintrel {

// Compacts the databases in list order, holding the current directory's lock throughout, so
// that a pass started beside it fails before touching anything. The first failure ends the pass and its description
// goes to host.ReportError; nothing leaves this function.
void RunCompaction(CompactionHost& host);

}  // namespace vintrel
