// The lock is taken inside the try block, so a pass that finds another one running reports it
// like any other failure; and because it is a local of that block, it is released before the
// error box is shown.
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
