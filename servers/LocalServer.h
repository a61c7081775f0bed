#pragma once
// What the two helper programs share: registration, serving their class and
// the process lifetime, over the COM kit. Each program names its class and
// supplies its object (a DispatchObject); the rest is here.
#include <oaidl.h>
#include <windows.h>

#include "win32/ComObject.h"
#include "win32/ExceptionBoundary.h"

namespace corvisk::servers {

struct ServerClass {
  const CLSID& clsid;
  const IID& iid;
  const GUID& libid;
  const wchar_t* progId;
  const wchar_t* description;  // "SuppDetails Class"
  // Makes a new object that answers through typeInfo's interface.
  HRESULT (*createObject)(ITypeInfo* typeInfo, REFIID iid, void** object);
};

// "-RegServer" and "-UnregServer" (also with "/", any letter case) register
// and unregister; anything else serves the class until its last object is
// gone. Returns the process exit code: 0, or the failing HRESULT.
int RunLocalServer(const ServerClass& server, const wchar_t* commandLine);

// Makes a server object that answers through typeInfo's interface.
template <typename T>
HRESULT CreateServerObject(ITypeInfo* typeInfo, REFIID iid, void** object) {
  return CreateComObject<T>(iid, object, typeInfo);
}

}  // namespace corvisk::servers
