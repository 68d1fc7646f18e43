// Our own Jet engine (src/jet) as a COM object of the JetEngine's kind, for where the platform
// has no JetEngine class: an IDispatch whose one member, CompactDatabase, takes the two
// connection strings and fails with DISP_E_EXCEPTION and the engine's description, so that
// ComEngine calls it as it calls the platform's.
#pragma once

#include "platform/windows/windows_api.h"

#include <wrl/client.h>

namespace vintrel {

Microsoft::WRL::ComPtr<IDispatch> CreateNativeEngineObject();

}  // namespace vintrel
