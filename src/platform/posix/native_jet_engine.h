// The JetEngine of the POSIX platform: CompactDatabase through our own Jet engine
// (jet/compact/compact_database.h), taking the OLE DB connection strings the compaction
// builds. The source stays locked after the call, in `holds`, until the file system has
// given its copy the database's name.
#pragma once

#include <memory>

#include "compaction/platform_objects.h"
#include "platform/posix/source_holds.h"

namespace vintrel {

class NativeJetEngine final : public Engine {
 public:
  // `salvage`: a database that loses rows is compacted all the same (the copy records the
  // losses) rather than refused. Repairs and losses are reported through `holds`.
  explicit NativeJetEngine(std::shared_ptr<SourceHolds> holds = std::make_shared<SourceHolds>(),
                           bool salvage = false)
      : holds_(std::move(holds)), salvage_(salvage) {}

  // Source and destination are connection strings as ReadCompactionRequest takes them; their
  // Data Sources are resolved against the current directory.
  void CompactDatabase(const std::u16string& source, const std::u16string& destination) override;

 private:
  std::shared_ptr<SourceHolds> holds_;
  bool salvage_;
};

}  // namespace vintrel
