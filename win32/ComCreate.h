#pragma once
#include <windows.h>

namespace corvisk {

// Creates an object whose server may run in another process: as IUnknown
// with every class context, started with OleRun, then asked for iid. A
// missing interface yields E_POINTER, as a call through the null pointer
// it leaves would.
HRESULT CreateRunningObject(REFCLSID clsid, REFIID iid, void** object);

}  // namespace corvisk
