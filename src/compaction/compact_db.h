// Compacts one database in place: the engine writes a compacted copy to a scratch file, the
// database file is deleted and the copy takes its name.
#pragma once

#include <string>
#include <string_view>

#include "compaction/compaction_host.h"

namespace vintrel {

// File names and connection strings built from a base name.
std::u16string DatabasePath(std::u16string_view baseName);
std::u16string ScratchPath(std::u16string_view baseName);
std::u16string SourceConnection(std::u16string_view dbPath);
std::u16string DestinationConnection(std::u16string_view scratchPath);

// Writes exactly one log entry, or raises the first failure of a platform call.
void CompactDb(CompactionHost& host, std::u16string_view baseName);

}  // namespace vintrel
