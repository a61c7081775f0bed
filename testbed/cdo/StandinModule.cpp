// The CDO stand-in's DLL: class objects for CDO's Message and Configuration
// classes, and the registration that makes them answer CDO's class IDs and
// ProgIDs in the test Wine prefix.
#include <windows.h>

#include <string>

#include "CallRecord.h"
#include "StandinConfiguration.h"
#include "StandinMessage.h"
#include "win32/ClassFactory.h"
#include "win32/ComRegistration.h"
#include "win32/InprocModule.h"

namespace corvisk::cdo_standin {

namespace {

HMODULE g_module = nullptr;

using Creator = HRESULT (*)(REFIID iid, void** object);

struct StandinClass {
  const CLSID* clsid;
  const wchar_t* progId;
  const char* recordName;
  Creator create;
};

const StandinClass kClasses[] = {
    {&CDO::CLSID_Message, L"CDO.Message", "Message", &CreateComObject<CMessage>},
    {&CDO::CLSID_Configuration, L"CDO.Configuration", "Configuration", &CreateComObject<CConfiguration>},
};

// Records the creation, then makes the object.
HRESULT CreateRecorded(const StandinClass& standinClass, REFIID iid, void** object) {
  RecordCall(std::string(standinClass.recordName) + ".Create");
  return standinClass.create(iid, object);
}

// In-process, usable from any apartment, under CDO's class ID and ProgID.
HRESULT RegisterStandinClass(const StandinClass& standinClass, const std::wstring& path) {
  const std::wstring title = std::wstring(standinClass.progId) + L" (Corvisk testbed stand-in)";
  return RegisterComClass(
      {*standinClass.clsid, standinClass.progId, title.c_str(), ServerKind::InProcess, path, nullptr});
}

}  // namespace

}  // namespace corvisk::cdo_standin

using namespace corvisk;
using namespace corvisk::cdo_standin;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  for (const StandinClass& standinClass : kClasses) {
    if (!IsEqualCLSID(clsid, *standinClass.clsid)) continue;
    return ClassFactory::Create(
        [&standinClass](REFIID wanted, void** created) { return CreateRecorded(standinClass, wanted, created); }, iid,
        object);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return CanUnloadModule(); }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  return ReturnHresult([] {
    const std::wstring path = ModulePath(g_module);
    if (path.empty()) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    for (const StandinClass& standinClass : kClasses) {
      const HRESULT result = RegisterStandinClass(standinClass, path);
      if (FAILED(result)) return result;
    }
    return S_OK;
  });
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return ReturnHresult([] {
    for (const StandinClass& standinClass : kClasses) UnregisterComClass(*standinClass.clsid, standinClass.progId);
    return S_OK;
  });
}
