// The stand-in DLL's COM entry points: class objects for the two fax
// servers and their registration under the real class IDs and ProgIDs.
#include <string>

#include "StandInClasses.h"
#include "StandInState.h"
#include "win32/Handles.h"

using namespace corvisk::testbed::faxstandin;

namespace {

HMODULE g_module = nullptr;
const StandInClass* const kClasses[] = {&kExtendedServer, &kLegacyServer};

class ClassFactory : public IClassFactory {
 public:
  explicit ClassFactory(const StandInClass& served) : served_(served) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    AddModuleReference();
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    ReleaseModuleReference();
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    return outer ? CLASS_E_NOAGGREGATION : served_.create(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      AddModuleReference();
    else
      ReleaseModuleReference();
    return S_OK;
  }

 private:
  const StandInClass& served_;
};

ClassFactory g_factories[] = {ClassFactory(kExtendedServer), ClassFactory(kLegacyServer)};

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = L"";
  StringFromGUID2(guid, text, 40);
  return text;
}

LSTATUS WriteValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  corvisk::unique_hkey handle;
  LSTATUS status =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, handle.put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(handle.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
}

LSTATUS RegisterStandInClass(const StandInClass& served, const std::wstring& modulePath) {
  const std::wstring classKey = L"CLSID\\" + GuidText(served.clsid);
  const std::wstring progId = served.progId;
  const struct {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
  } values[] = {
      {classKey, nullptr, served.description},
      {classKey + L"\\InprocServer32", nullptr, modulePath},
      {classKey + L"\\InprocServer32", L"ThreadingModel", L"Both"},
      {classKey + L"\\ProgID", nullptr, progId},
      {progId, nullptr, served.description},
      {progId + L"\\CLSID", nullptr, GuidText(served.clsid)},
  };
  for (const auto& value : values) {
    const LSTATUS status = WriteValue(value.key, value.name, value.value);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  for (size_t i = 0; i < ARRAYSIZE(kClasses); ++i) {
    if (kClasses[i]->clsid == clsid) return g_factories[i].QueryInterface(iid, object);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return ModuleInUse() ? S_FALSE : S_OK; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  wchar_t path[MAX_PATH] = L"";
  const DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
  for (const StandInClass* served : kClasses) {
    const LSTATUS status = RegisterStandInClass(*served, std::wstring(path, length));
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  }
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  for (const StandInClass* served : kClasses) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(served->clsid)).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, served->progId);
  }
  return S_OK;
}
