#include "win32/ComCreate.h"

#include <ole2.h>

#include "win32/ComPtr.h"

namespace corvisk {

HRESULT CreateRunningObject(REFCLSID clsid, REFIID iid, void** object) {
  *object = nullptr;
  com_ptr<IUnknown> unknown;
  HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, unknown.put_void());
  if (SUCCEEDED(result)) result = OleRun(unknown.get());
  if (SUCCEEDED(result)) result = unknown->QueryInterface(iid, object);
  return result == E_NOINTERFACE ? E_POINTER : result;
}

}  // namespace corvisk
