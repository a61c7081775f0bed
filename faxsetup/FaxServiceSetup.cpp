#include "faxsetup/FaxServiceSetup.h"

#include <iterator>

#include "win32/DynamicCalls.h"

namespace corvisk {
namespace {

constexpr wchar_t kTelephonyProvider[] = L"";

FaxServiceStopResult StopFailed(FaxServiceStop outcome) { return {outcome, GetLastError()}; }

}  // namespace

// Bound at run time rather than imported, so that both programs start, and
// registration fails cleanly, where the fax service is not installed. Loaded
// from the system folder only: registration runs elevated and must not pick
// up a winfax.dll from the current folder.
DWORD LoadWinFax(unique_hmodule& winfax) {
  constexpr wchar_t kFileName[] = L"\\winfax.dll";
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0) return GetLastError();
  if (length + std::size(kFileName) > MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  lstrcatW(path, kFileName);
  winfax.reset(LoadLibraryW(path));
  return winfax ? ERROR_SUCCESS : GetLastError();
}

ProviderRegistration RegisterProviderWithFaxService(const wchar_t* imagePath) {
  unique_hmodule winfax;
  const DWORD loadError = LoadWinFax(winfax);
  if (loadError != ERROR_SUCCESS) return {false, loadError};
  const auto registerProvider = BindWinFaxCalls(winfax.get()).FaxRegisterServiceProviderW;
  if (!registerProvider) return {false, GetLastError()};
  if (!registerProvider(kDeviceProviderName, kDeviceProviderFriendlyName, imagePath, kTelephonyProvider))
    return {true, GetLastError()};
  return {true, ERROR_SUCCESS};
}

FaxServiceStopResult RequestFaxServiceStop() {
  const unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return StopFailed(FaxServiceStop::ManagerNotOpened);
  const unique_schandle service(OpenServiceA(manager.get(), "Fax", SERVICE_STOP));
  if (!service) return StopFailed(FaxServiceStop::ServiceNotOpened);
  SERVICE_STATUS status{};
  if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return {};
  const DWORD error = GetLastError();
  if (error == ERROR_SERVICE_NOT_ACTIVE) return {};
  return {FaxServiceStop::Refused, error};
}

}  // namespace corvisk
