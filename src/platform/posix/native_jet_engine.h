// The JetEngine of the POSIX platform: CompactDatabase through our own Jet engine
// (jet/compact/compact_database.h), taking the OLE DB connection strings the compaction
// builds.
#pragma once

#include "compaction/platform_objects.h"

namespace vintrel {

class NativeJetEngine final : public Engine {
 public:
  // Source and destination are connection strings naming the provider
  // "Microsoft.Jet.OLEDB.4.0" and a Data Source, resolved against the current directory;
  // the destination may ask for "Jet OLEDB:Engine Type" 5, the Jet 4 format, which is also
  // what an absent engine type gives for a Jet 4 source.
  void CompactDatabase(const std::u16string& source, const std::u16string& destination) override;
};

}  // namespace vintrel
