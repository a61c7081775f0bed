#include "RegistrationSupport.h"

#include <vector>

#include "win32/Handles.h"

namespace corvisk::test {
namespace {

constexpr wchar_t kServiceName[] = L"Fax";
constexpr DWORD kAcceptStopControl = 128;
constexpr DWORD kWaitMs = 10000;

unique_hkey OpenKey(const MachineKey& key, REGSAM access) {
  unique_hkey open;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.path, 0, access | key.view, open.put()) != ERROR_SUCCESS)
    return unique_hkey();
  return open;
}

void DeleteTree(const MachineKey& key) {
  if (const unique_hkey open = OpenKey(key, KEY_ALL_ACCESS)) RegDeleteTreeW(open.get(), nullptr);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.path, key.view, 0);
}

unique_schandle OpenManager() { return unique_schandle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)); }

unique_schandle OpenFaxService(const unique_schandle& manager) {
  return unique_schandle(OpenServiceW(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
}

// Where testbed/register-standins installs the "Fax" stand-in: the system
// folder of this test's bitness, syswow64 under WOW64.
std::wstring ServiceImage() {
  wchar_t folder[MAX_PATH] = L"";
  if (RunsUnderWow64())
    GetSystemWow64DirectoryW(folder, MAX_PATH);
  else
    GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder) + L"\\faxservice.exe";
}

bool CreateFaxService(const unique_schandle& manager) {
  const unique_schandle service(CreateServiceW(manager.get(), kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                               SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                               ServiceImage().c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  return static_cast<bool>(service);
}

std::wstring SystemFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = L"";
  GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder) + L"\\" + name;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool KeyExists(const MachineKey& key) { return static_cast<bool>(OpenKey(key, KEY_READ)); }

std::optional<DWORD> ReadDword(const MachineKey& key, const wchar_t* name) {
  const unique_hkey open = OpenKey(key, KEY_READ);
  DWORD value = 0, size = sizeof value;
  if (!open || RegGetValueW(open.get(), nullptr, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

std::optional<TextValue> ReadText(const MachineKey& machineKey, const wchar_t* name) {
  const unique_hkey key = OpenKey(machineKey, KEY_READ);
  DWORD type = 0, size = 0;
  if (!key || RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
    return std::nullopt;
  return TextValue{type, std::wstring(text.data())};
}

void RemoveRegistration() {
  DeleteTree(kFaxProviderKey);
  DeleteTree(kEventSourceKey);
  if (const unique_hkey key = OpenKey(kControlPanelKey, KEY_SET_VALUE)) RegDeleteValueW(key.get(), kAppletValue);
}

bool RunsUnderWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

unsigned long RunWithoutOutput(const std::wstring& commandLine) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const unique_hfile nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                     OPEN_EXISTING, 0, nullptr));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;
  if (!nul || !CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
    return ~0ul;
  const unique_handle processHandle(process.hProcess), threadHandle(process.hThread);
  DWORD exitCode = ~0ul;
  WaitForSingleObject(processHandle.get(), INFINITE);
  GetExitCodeProcess(processHandle.get(), &exitCode);
  return exitCode;
}

namespace fax_service {

DWORD State() {
  const unique_schandle manager = OpenManager();
  const unique_schandle service = OpenFaxService(manager);
  SERVICE_STATUS status{};
  if (!service || !QueryServiceStatus(service.get(), &status)) return kMissing;
  return status.dwCurrentState;
}

bool WaitForState(DWORD state) {
  for (DWORD waited = 0; waited < kWaitMs; waited += 50) {
    if (State() == state) return true;
    Sleep(50);
  }
  return State() == state;
}

bool Start(const wchar_t* argument) {
  const unique_schandle manager = OpenManager();
  const unique_schandle service = OpenFaxService(manager);
  const wchar_t* arguments[] = {argument};
  if (!service || !StartServiceW(service.get(), argument ? 1 : 0, argument ? arguments : nullptr)) return false;
  return WaitForState(SERVICE_RUNNING);
}

bool SetStartType(DWORD startType) {
  const unique_schandle manager = OpenManager();
  const unique_schandle service = OpenFaxService(manager);
  return service && ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

bool AllowStop() {
  const unique_schandle manager = OpenManager();
  const unique_schandle service = OpenFaxService(manager);
  SERVICE_STATUS status{};
  return service && ControlService(service.get(), kAcceptStopControl, &status);
}

bool Stop() {
  const unique_schandle manager = OpenManager();
  const unique_schandle service = OpenFaxService(manager);
  SERVICE_STATUS status{};
  if (!service) return false;
  ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  return WaitForState(SERVICE_STOPPED);
}

bool Delete() {
  Stop();
  const unique_schandle manager = OpenManager();
  const unique_schandle service = OpenFaxService(manager);
  return service && DeleteService(service.get());
}

void Restore() {
  const DWORD state = State();
  if (state == kMissing) {
    const unique_schandle manager = OpenManager();
    CreateFaxService(manager);
    return;
  }
  if (state != SERVICE_STOPPED) {
    AllowStop();
    Stop();
  }
  SetStartType(SERVICE_DEMAND_START);
}

}  // namespace fax_service

WinFaxSwap::WinFaxSwap(const std::wstring& replacement) {
  const std::wstring installed = SystemFile(L"winfax.dll");
  if (!MoveFileExW(installed.c_str(), SystemFile(L"winfax.dll.hidden").c_str(), MOVEFILE_REPLACE_EXISTING)) return;
  done_ = replacement.empty() || CopyFileW(replacement.c_str(), installed.c_str(), FALSE);
}

WinFaxSwap::~WinFaxSwap() {
  const std::wstring installed = SystemFile(L"winfax.dll");
  const std::wstring hidden = SystemFile(L"winfax.dll.hidden");
  if (!FileExists(hidden)) return;
  MoveFileExW(hidden.c_str(), installed.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace corvisk::test
