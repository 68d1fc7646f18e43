// What a CompactDatabase call asks of our own engine, read from its two OLE DB connection
// strings as the platform's JetEngine takes them; both platforms' engines start here.
#pragma once

#include <string>
#include <string_view>

namespace vintrel {

struct CompactionRequest {
  // The Data Source of each string, as written there.
  std::u16string source;
  std::u16string destination;
};

// Both strings name the provider "Microsoft.Jet.OLEDB.4.0" and a Data Source; the destination
// may ask for "Jet OLEDB:Engine Type" 5, the Jet 4 format, which is also what an absent engine
// type gives for a Jet 4 source. Any other key is ignored. Raises RaisedError with the
// provider's text for a malformed string or another provider, and a description for a
// missing Data Source or another engine type.
CompactionRequest ReadCompactionRequest(std::u16string_view source, std::u16string_view destination);

}  // namespace vintrel
