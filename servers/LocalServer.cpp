#include "servers/LocalServer.h"

#include <shellapi.h>

#include <string>
#include <utility>

#include "win32/ClassFactory.h"
#include "win32/ComApartment.h"
#include "win32/ComRegistration.h"
#include "win32/Handles.h"
#include "win32/ReturnIfFailed.h"

namespace corvisk {
namespace servers {
namespace {

// A server that nobody uses within this time after its start (a client that
// gave up before creating its object) ends by itself.
constexpr DWORD kFirstUseTimeoutMs = 60000;
constexpr SYSKIND kSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

std::atomic<bool> g_used{false};
std::atomic<HANDLE> g_lastObjectGone{nullptr};

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

bool ClassesKeyExists(const std::wstring& key) {
  unique_hkey handle;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
}

// The class under its ProgID, started from this program's path, and the
// type library embedded in it, whose registration makes the standard
// automation marshaler carry the interface between processes.
HRESULT RegisterServer(const ServerClass& server) {
  const std::wstring path = ModulePath(nullptr);
  CORVISK_RETURN_IF_FAILED(RegisterComClass(
      {server.clsid, server.progId, server.description, ServerKind::LocalProgram, path, &server.libid}));
  com_ptr<ITypeLib> library;
  return LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, library.put());
}

// Removes what RegisterServer wrote; what is already gone counts as removed.
HRESULT UnregisterServer(const ServerClass& server) {
  if (ClassesKeyExists(L"TypeLib\\" + GuidText(server.libid)))
    CORVISK_RETURN_IF_FAILED(UnRegisterTypeLib(server.libid, 1, 0, LOCALE_NEUTRAL, kSysKind));
  return UnregisterComClass(server.clsid, server.progId);
}

// The description of the class's interface in this program's type library.
HRESULT LoadOwnTypeInfo(REFIID iid, com_ptr<ITypeInfo>& info) {
  com_ptr<ITypeLib> library;
  CORVISK_RETURN_IF_FAILED(LoadTypeLibEx(ModulePath(nullptr).c_str(), REGKIND_NONE, library.put()));
  return library->GetTypeInfoOfGuid(iid, info.put());
}

// Serves until the last object is gone, or until the first-use time runs
// out with no object ever made.
void WaitUntilUnused(HANDLE lastObjectGone) {
  if (WaitForSingleObject(lastObjectGone, kFirstUseTimeoutMs) == WAIT_TIMEOUT && g_used)
    WaitForSingleObject(lastObjectGone, INFINITE);
}

HRESULT ServeClass(const ServerClass& server, ITypeInfo* typeInfo) {
  const unique_handle lastObjectGone(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!lastObjectGone) return HRESULT_FROM_WIN32(GetLastError());
  com_ptr<IClassFactory> factory;
  CORVISK_RETURN_IF_FAILED(ClassFactory::Create(
      [&server, typeInfo](REFIID iid, void** object) {
        g_used = true;
        return server.createObject(typeInfo, iid, object);
      },
      IID_IClassFactory, factory.put_void()));
  g_lastObjectGone = lastObjectGone.get();
  DWORD cookie = 0;
  const HRESULT result =
      CoRegisterClassObject(server.clsid, factory.get(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
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
  const ComApartment apartment(ComApartment::Multithreaded);
  CORVISK_RETURN_IF_FAILED(apartment.result());
  com_ptr<ITypeInfo> typeInfo;
  CORVISK_RETURN_IF_FAILED(LoadOwnTypeInfo(server.iid, typeInfo));
  return ServeClass(server, typeInfo.get());
}

}  // namespace
}  // namespace servers

// Every live object and server lock keeps the process running; the last
// one gone suspends the class and ends the serving.
void LockModule() { CoAddRefServerProcess(); }

void UnlockModule() {
  if (CoReleaseServerProcess() != 0) return;
  if (const HANDLE lastObjectGone = servers::g_lastObjectGone) SetEvent(lastObjectGone);
}

namespace servers {

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

}  // namespace servers
}  // namespace corvisk
