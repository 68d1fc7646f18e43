#include "compaction/run_compaction.h"

#include <exception>
#include <memory>

#include "compaction/compact_db.h"
#include "compaction/database_list.h"
#include "compaction/raised_error.h"
#include "text/utf.h"

namespace vintrel {

void RunCompaction(CompactionHost& host) {
  try {
    const std::unique_ptr<DirectoryLock> lock = host.objects().LockCurrentDirectory();
    for (std::u16string_view baseName : DatabaseList) CompactDb(host, baseName);
  } catch (const RaisedError& failure) {
    host.ReportError(failure.description());
  } catch (const std::exception& failure) {
    // Not a platform failure (memory exhausted, say), but the user still learns why the pass
    // stopped.
    host.ReportError(FromUtf8(failure.what()));
  }
}

}  // namespace vintrel
