// The CDO stand-in's DLL: class objects for CDO's Message and Configuration
// classes, and the registration that makes them answer CDO's class IDs and
// ProgIDs in the test Wine prefix.
#include <windows.h>

#include <string>

#include "CallRecord.h"
#include "common/ComObject.h"
#include "StandinConfiguration.h"
#include "StandinMessage.h"
#include "win32/Handles.h"

namespace corvisk::cdo_standin {

namespace {

HMODULE g_module = nullptr;
LONG g_objects = 0;
LONG g_serverLocks = 0;

using Creator = IUnknown* (*)();

IUnknown* CreateMessage() { return static_cast<CDO::IMessage*>(new CMessage()); }
IUnknown* CreateConfiguration() { return static_cast<CDO::IConfiguration*>(new CConfiguration()); }

struct StandinClass {
  const CLSID* clsid;
  const wchar_t* progId;
  const char* recordName;
  Creator create;
};

const StandinClass kClasses[] = {
    {&CDO::CLSID_Message, L"CDO.Message", "Message", CreateMessage},
    {&CDO::CLSID_Configuration, L"CDO.Configuration", "Configuration", CreateConfiguration},
};

class CClassFactory final : public ComObject<IClassFactory> {
 public:
  explicit CClassFactory(const StandinClass& standinClass) : class_(standinClass) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return corvisk::ReturnHresult([&] {
      RecordCall(std::string(class_.recordName) + ".Create");
      IUnknown* created = class_.create();
      const HRESULT result = created->QueryInterface(iid, object);
      created->Release();
      return result;
    });
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      InterlockedIncrement(&g_serverLocks);
    } else {
      InterlockedDecrement(&g_serverLocks);
    }
    return S_OK;
  }

 protected:
  void* Find(REFIID iid) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) return static_cast<IClassFactory*>(this);
    return nullptr;
  }

 private:
  const StandinClass& class_;
};

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = L"";
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ModulePath() {
  wchar_t path[MAX_PATH] = L"";
  const DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
  return std::wstring(path, length < MAX_PATH ? length : 0);
}

LSTATUS SetKeyText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  unique_hkey handle;
  LSTATUS status =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(handle.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
}

// CLSID\{clsid}: in-process server, usable from any apartment, with its
// ProgID; ProgID\CLSID leads back to it.
LSTATUS RegisterStandinClass(const StandinClass& standinClass, const std::wstring& path) {
  struct KeyText {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
  };
  const std::wstring clsid = GuidText(*standinClass.clsid);
  const std::wstring classKey = L"CLSID\\" + clsid;
  const std::wstring progId = standinClass.progId;
  const std::wstring title = progId + L" (Corvisk testbed stand-in)";
  const KeyText texts[] = {
      {classKey, nullptr, title},
      {classKey + L"\\InprocServer32", nullptr, path},
      {classKey + L"\\InprocServer32", L"ThreadingModel", L"Both"},
      {classKey + L"\\ProgID", nullptr, progId},
      {progId, nullptr, title},
      {progId + L"\\CLSID", nullptr, clsid},
  };
  for (const KeyText& text : texts) {
    const LSTATUS status = SetKeyText(text.key, text.name, text.value);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

void UnregisterStandinClass(const StandinClass& standinClass) {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(*standinClass.clsid)).c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, standinClass.progId);
}

}  // namespace

}  // namespace corvisk::cdo_standin

namespace corvisk::testbed {

void LockModule() { InterlockedIncrement(&cdo_standin::g_objects); }
void UnlockModule() { InterlockedDecrement(&cdo_standin::g_objects); }

}  // namespace corvisk::testbed

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
    return corvisk::ReturnHresult([&] {
      CClassFactory* factory = new CClassFactory(standinClass);
      const HRESULT result = factory->QueryInterface(iid, object);
      factory->Release();
      return result;
    });
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_objects == 0 && g_serverLocks == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  return corvisk::ReturnHresult([] {
    const std::wstring path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    for (const StandinClass& standinClass : kClasses) {
      const LSTATUS status = RegisterStandinClass(standinClass, path);
      if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    }
    return S_OK;
  });
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return corvisk::ReturnHresult([] {
    for (const StandinClass& standinClass : kClasses) UnregisterStandinClass(standinClass);
    return S_OK;
  });
}
