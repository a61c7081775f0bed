// Self-registration: DllRegisterServer and DllUnregisterServer, which an
// installer or regsvr32 calls, and the installer's commit action. They make
// the DLL known to the fax service as a device provider, install the event
// source the provider reports under, and file the control panel applet under
// its category. Apart from a missing module file name, nothing here fails
// the registration: each failing step is traced and the next one runs.
#include <windows.h>
#include <msi.h>
#include <shlwapi.h>

#include <cwchar>

#include "common/Product.h"
#include "common/TextFormat.h"
#include "faxsetup/FaxServiceSetup.h"
#include "launch/AppletStart.h"
#include "provider/Diagnostics.h"
#include "win32/DynamicCalls.h"
#include "win32/ExceptionBoundary.h"
#include "win32/Handles.h"
#include "win32/PlatformVersion.h"

using namespace corvisk;

namespace {

constexpr wchar_t kEventSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Application\\CorviskFSP";
constexpr wchar_t kFaxProviderKey[] = L"SOFTWARE\\Microsoft\\Fax\\Device Providers\\CorviskFSP";
constexpr wchar_t kControlPanelKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Extended Properties\\"
    L"{305CA226-D286-468e-B848-2B2E8E697B74} 2";
constexpr wchar_t kAppletValue[] = L"%SystemRoot%\\system32\\" CORVISK_APPLET_FILE;
constexpr DWORD kAppletCategory = 2;
constexpr DWORD kEventTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

// Tells the fax service about the provider; returns the error, which is also
// the reason when winfax.dll or the function is missing.
DWORD RegisterWithFaxService(const wchar_t* imagePath) { return RegisterProviderWithFaxService(imagePath).error; }

// Writes the text DescribeError gives for code, between a prefix and a suffix.
void TraceError(DWORD code, const char* what, const char* prefix, const char* suffix) {
  const std::string text = DescribeError(code, what);
  OutputDebugStringA(prefix);
  OutputDebugStringA(text.c_str());
  OutputDebugStringA(suffix);
}

unique_hkey CreateKey(const wchar_t* path) {
  unique_hkey key;
  wchar_t noClass[] = L"";
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(),
                      nullptr) != ERROR_SUCCESS)
    return unique_hkey();
  return key;
}

bool SetDword(HKEY key, const wchar_t* name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

// Deletes a key of HKEY_LOCAL_MACHINE with everything below it, trying a
// second time if the first attempt fails; returns the last attempt's error.
DWORD DeleteKeyTwice(const wchar_t* path) {
  const DWORD error = SHDeleteKeyW(HKEY_LOCAL_MACHINE, path);
  return error == ERROR_SUCCESS ? error : SHDeleteKeyW(HKEY_LOCAL_MACHINE, path);
}

// Asks the fax service to stop, so that it loads the provider as now
// registered when it next starts. Does not wait for it to stop. True when it
// was stopped or was not running.
bool StopFaxService() {
  const FaxServiceStopResult result = RequestFaxServiceStop();
  switch (result.outcome) {
    case FaxServiceStop::Requested:
      return true;
    case FaxServiceStop::ManagerNotOpened:
      OutputDebugStringA("StopFaxService() - Failed to open service control manager\r\n");
      return false;
    case FaxServiceStop::ServiceNotOpened:
      OutputDebugStringA("StopFaxService() - Failed to open Fax service\r\n");
      return false;
    default:
      OutputDebugStringA("StopFaxService() - Failed to stop Fax service: ");
      OutputDebugStringA(FormatText(" err=0X%x\r\n", static_cast<unsigned>(result.error)).c_str());
      return false;
  }
}

// The full path of this DLL; its failure as an HRESULT. A path that does not
// fit is a failure too: cut, it would name another file.
HRESULT GetProviderPath(wchar_t (&path)[MAX_PATH]) {
  const DWORD length = GetModuleFileNameW(ProviderModule(), path, MAX_PATH);
  if (length == MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  if (length != 0) return S_OK;
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_UNEXPECTED;
}

// The event source of the provider's event-log reports: its messages come
// from this DLL.
void InstallEventSource(const wchar_t* dllPath) {
  const unique_hkey key = CreateKey(kEventSourceKey);
  if (!key) {
    OutputDebugStringA(
        "Failed to create registry key "
        "HLM\\SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Application\\CorviskFSP\r\n");
    return;
  }
  const DWORD bytes = static_cast<DWORD>((std::wcslen(dllPath) + 1) * sizeof(wchar_t));
  if (RegSetValueExW(key.get(), L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(dllPath), bytes) !=
      ERROR_SUCCESS)
    OutputDebugStringA("Failed to created EventMessageFile\r\n");
  if (!SetDword(key.get(), L"TypesSupported", kEventTypesSupported))
    OutputDebugStringA("Failed to create TypesSupported\r\n");
}

// Files the control panel applet under its category (platforms from 5.1 on).
void FileAppletCategory() {
  const unique_hkey key = CreateKey(kControlPanelKey);
  if (!key) {
    OutputDebugStringW(L"Failed to create reg key for " CORVISK_APPLET_FILE "\r\n");
    return;
  }
  if (!SetDword(key.get(), kAppletValue, kAppletCategory))
    OutputDebugStringW(L"Failed to write " CORVISK_APPLET_FILE "\r\n");
}

void RemoveAppletCategory() {
  unique_hkey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kControlPanelKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS ||
      RegDeleteValueW(key.get(), kAppletValue) != ERROR_SUCCESS)
    OutputDebugStringW(L"Failed to delete reg value for " CORVISK_APPLET_FILE "\r\n");
}

HRESULT RegisterProvider() {
  OutputDebugStringA("CorviskFSP - DllRegisterServer()\r\n");
  if (!ProviderModule()) return E_UNEXPECTED;
  wchar_t path[MAX_PATH];
  const HRESULT pathResult = GetProviderPath(path);
  if (FAILED(pathResult)) return pathResult;
  OutputDebugStringW(path);
  OutputDebugStringW(L"\r\n");
  const DWORD error = RegisterWithFaxService(path);
  if (error == ERROR_SUCCESS || error == ERROR_ALREADY_EXISTS) {
    OutputDebugStringA("CorviskFSP - Success in FaxRegisterServiceProvider()\r\n");
    StopFaxService();
  } else {
    TraceError(error, "FaxRegisterServiceProvider()", "", " - failed in FaxRegisterServiceProvider()\r\n");
  }
  InstallEventSource(path);
  if (QueryPlatformVersion().AtLeast(5, 1)) FileAppletCategory();
  return S_OK;
}

// From 5.2 on the fax service's client library removes the registration.
void UnregisterWithFaxService() {
  unique_hmodule winfax;
  if (LoadWinFax(winfax) != ERROR_SUCCESS) {
    OutputDebugStringA("DllUnregisterServer(): failed to load winfax.dll\r\n");
    return;
  }
  const auto unregisterProvider = BindWinFaxCalls(winfax.get()).FaxUnregisterServiceProviderW;
  if (!unregisterProvider) {
    OutputDebugStringA("DllUnregisterServer(): failed to GetProcAddr(FaxUnregisterServiceProviderW)\r\n");
    return;
  }
  if (unregisterProvider(kDeviceProviderName)) {
    StopFaxService();
    return;
  }
  TraceError(GetLastError(), "FaxUnregisterServiceProvider()", "Failed in FaxUnregisterServiceProvider(CorviskFSP) - ",
             "\r\n");
}

// Below 5.2 the registration is the fax provider key, deleted directly.
void DeleteFaxProviderKey() {
  StopFaxService();
  const DWORD error = DeleteKeyTwice(kFaxProviderKey);
  if (error != ERROR_SUCCESS) TraceError(error, "SHDeleteKey()", "Failed in unregistering CorviskFSP - ", "\r\n");
}

void UnregisterProvider() {
  OutputDebugStringA("DllUnregisterServer()\r\n");
  if (DeleteKeyTwice(kEventSourceKey) != ERROR_SUCCESS)
    OutputDebugStringA("DllUnregisterServer(): failed to unregister events source dll\r\n");
  const PlatformVersion platform = QueryPlatformVersion();
  if (platform.AtLeast(5, 1)) RemoveAppletCategory();
  if (platform.AtLeast(5, 2))
    UnregisterWithFaxService();
  else
    DeleteFaxProviderKey();
}

}  // namespace

// Registers the provider with the fax service, the event log and the control
// panel, and stops the fax service so that it picks the provider up. Fails
// only when the DLL's own path is unknown; every other failure is traced on
// the debugger output and the result is S_OK.
extern "C" HRESULT WINAPI DllRegisterServer() {
  return ReturnOnException("\r\nCorviskFSP - exception - DllRegisterServer\r\n", E_UNEXPECTED,
                           [] { return RegisterProvider(); });
}

// Removes what DllRegisterServer wrote. Always S_OK; failures are traced.
extern "C" HRESULT WINAPI DllUnregisterServer() {
  return ReturnOnException("\r\nCorviskFSP - exception - DllUnregisterServer\r\n", S_OK, [] {
    UnregisterProvider();
    return S_OK;
  });
}

// The installer's commit action, served by the provider DLL as well as by the
// custom-action DLL. Always ERROR_SUCCESS.
extern "C" UINT WINAPI CustomActionCommit(MSIHANDLE /*install*/) { return StartAppletForInstaller(); }
