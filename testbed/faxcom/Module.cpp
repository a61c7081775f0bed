// The stand-in DLL's COM entry points: class objects for the two fax
// servers and their registration under the real class IDs and ProgIDs.
#include <string>

#include "StandInClasses.h"
#include "win32/ClassFactory.h"
#include "win32/ComRegistration.h"
#include "win32/InprocModule.h"

using namespace corvisk;
using namespace corvisk::testbed::faxstandin;

namespace {

HMODULE g_module = nullptr;
const StandInClass* const kClasses[] = {&kExtendedServer, &kLegacyServer};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  for (const StandInClass* served : kClasses) {
    if (served->clsid == clsid) return ClassFactory::Create(served->create, iid, object);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return CanUnloadModule(); }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  const std::wstring path = ModulePath(g_module);
  for (const StandInClass* served : kClasses) {
    const HRESULT result =
        RegisterComClass({served->clsid, served->progId, served->description, ServerKind::InProcess, path, nullptr});
    if (FAILED(result)) return result;
  }
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  for (const StandInClass* served : kClasses) UnregisterComClass(served->clsid, served->progId);
  return S_OK;
}
