#pragma once
// The two classes the stand-in DLL serves. Each is defined in a file of its
// own, beside the interface declarations it implements.
#include <windows.h>

#include <new>

namespace corvisk::testbed::faxstandin {

struct StandInClass {
  const CLSID& clsid;
  const wchar_t* progId;
  const wchar_t* description;
  HRESULT (*create)(REFIID iid, void** object);
};

template <typename T>
HRESULT CreateStandIn(REFIID iid, void** object) {
  T* created = new (std::nothrow) T();
  if (!created) return E_OUTOFMEMORY;
  const HRESULT result = created->QueryInterface(iid, object);
  created->Release();
  return result;
}

extern const StandInClass kExtendedServer;  // "FaxComEx.FaxServer"
extern const StandInClass kLegacyServer;    // "FaxServer.FaxServer"

}  // namespace corvisk::testbed::faxstandin
