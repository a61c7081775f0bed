#include "servers/LocalServer.h"

#include <shellapi.h>

#include <string>
#include <utility>

#include "win32/Handles.h"
#include "win32/ReturnIfFailed.h"

namespace corvisk::servers {

namespace {

// A server that nobody uses within this time after its start (a client that
// gave up before creating its object) ends by itself.
constexpr DWORD kFirstUseTimeoutMs = 60000;
constexpr SYSKIND kSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

std::atomic<bool> g_used{false};
std::atomic<HANDLE> g_lastObjectGone{nullptr};

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = L"";
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ModulePath() {
  wchar_t path[MAX_PATH] = L"";
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, length);
}

// Whether an argument after the program's name is the switch, written with
// "-" or "/" in any letter case.
bool HasSwitch(const wchar_t* commandLine, const wchar_t* name) {
  int count = 0;
  const unique_hlocal owner(CommandLineToArgvW(commandLine, &count));
  wchar_t** arguments = static_cast<wchar_t**>(owner.get());
  for (int i = 1; arguments && i < count; ++i) {
    const wchar_t* argument = arguments[i];
    if ((argument[0] == L'-' || argument[0] == L'/') && lstrcmpiW(argument + 1, name) == 0) return true;
  }
  return false;
}

HRESULT WriteClassesValue(const std::wstring& key, const std::wstring& value) {
  unique_hkey handle;
  LSTATUS status =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, handle.put(), nullptr);
  if (status == ERROR_SUCCESS) {
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    status = RegSetValueExW(handle.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  }
  return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteClassesKey(const std::wstring& key) {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(status);
  RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
  return S_OK;
}

bool ClassesKeyExists(const std::wstring& key) {
  unique_hkey handle;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
}

// The class under its ProgID, started from this program's path, and the
// type library embedded in it, whose registration makes the standard
// automation marshaler carry the interface between processes.
HRESULT RegisterServer(const ServerClass& server) {
  const std::wstring path = ModulePath();
  const std::wstring classKey = L"CLSID\\" + GuidText(server.clsid);
  const std::wstring progId = server.progId;
  const std::pair<std::wstring, std::wstring> values[] = {
      {classKey, server.description},   {classKey + L"\\LocalServer32", L"\"" + path + L"\""},
      {classKey + L"\\ProgID", progId}, {classKey + L"\\TypeLib", GuidText(server.libid)},
      {progId, server.description},     {progId + L"\\CLSID", GuidText(server.clsid)},
  };
  for (const auto& [key, value] : values) CORVISK_RETURN_IF_FAILED(WriteClassesValue(key, value));
  com_ptr<ITypeLib> library;
  return LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, library.put());
}

// Removes what RegisterServer wrote; what is already gone counts as removed.
HRESULT UnregisterServer(const ServerClass& server) {
  if (ClassesKeyExists(L"TypeLib\\" + GuidText(server.libid)))
    CORVISK_RETURN_IF_FAILED(UnRegisterTypeLib(server.libid, 1, 0, LOCALE_NEUTRAL, kSysKind));
  CORVISK_RETURN_IF_FAILED(DeleteClassesKey(L"CLSID\\" + GuidText(server.clsid)));
  return DeleteClassesKey(server.progId);
}

// The description of the class's interface in this program's type library.
HRESULT LoadOwnTypeInfo(REFIID iid, com_ptr<ITypeInfo>& info) {
  com_ptr<ITypeLib> library;
  CORVISK_RETURN_IF_FAILED(LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, library.put()));
  return library->GetTypeInfoOfGuid(iid, info.put());
}

// The one class factory of the process; it lives on the serving thread's
// stack for as long as it is registered.
class ClassFactory : public IClassFactory {
 public:
  ClassFactory(const ServerClass& server, ITypeInfo* typeInfo) : server_(server), typeInfo_(typeInfo) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    g_used = true;
    return server_.createObject(typeInfo_, iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      AddServerReference();
    else
      ReleaseServerReference();
    return S_OK;
  }

 private:
  const ServerClass& server_;
  ITypeInfo* typeInfo_;
};

// Serves until the last object is gone, or until the first-use time runs
// out with no object ever made.
void WaitUntilUnused(HANDLE lastObjectGone) {
  if (WaitForSingleObject(lastObjectGone, kFirstUseTimeoutMs) == WAIT_TIMEOUT && g_used)
    WaitForSingleObject(lastObjectGone, INFINITE);
}

HRESULT ServeClass(const ServerClass& server, ITypeInfo* typeInfo) {
  const unique_handle lastObjectGone(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!lastObjectGone) return HRESULT_FROM_WIN32(GetLastError());
  g_lastObjectGone = lastObjectGone.get();
  ClassFactory factory(server, typeInfo);
  DWORD cookie = 0;
  const HRESULT result =
      CoRegisterClassObject(server.clsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
  if (SUCCEEDED(result)) {
    WaitUntilUnused(lastObjectGone.get());
    CoRevokeClassObject(cookie);
  }
  g_lastObjectGone = nullptr;
  return result;
}

// Calls arrive on the multithreaded apartment's threads, so concurrent
// clients do not wait for one another.
HRESULT Serve(const ServerClass& server) {
  CORVISK_RETURN_IF_FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  HRESULT result = S_OK;
  {
    com_ptr<ITypeInfo> typeInfo;
    result = LoadOwnTypeInfo(server.iid, typeInfo);
    if (SUCCEEDED(result)) result = ServeClass(server, typeInfo.get());
  }
  CoUninitialize();
  return result;
}

}  // namespace

void AddServerReference() { CoAddRefServerProcess(); }

void ReleaseServerReference() {
  if (CoReleaseServerProcess() != 0) return;
  if (const HANDLE lastObjectGone = g_lastObjectGone) SetEvent(lastObjectGone);
}

int RunLocalServer(const ServerClass& server, const wchar_t* commandLine) {
  HRESULT result = S_OK;
  if (HasSwitch(commandLine, L"RegServer"))
    result = RegisterServer(server);
  else if (HasSwitch(commandLine, L"UnregServer"))
    result = UnregisterServer(server);
  else
    result = Serve(server);
  return static_cast<int>(result);
}

}  // namespace corvisk::servers
