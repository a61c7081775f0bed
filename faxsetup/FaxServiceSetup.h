#pragma once
// What self-registration and the configuration program both do to the fax
// service: register the provider through the fax service's client library,
// and ask the service to stop so that it loads the provider when it next
// starts. Each caller traces and reports in its own words.
#include <windows.h>

#include "win32/Handles.h"

namespace corvisk {

inline constexpr wchar_t kDeviceProviderName[] = L"CorviskFSP";
inline constexpr wchar_t kDeviceProviderFriendlyName[] = L"Corvisk FSP";

// The fax service's client library from the system folder; returns the
// error, ERROR_SUCCESS when loaded.
DWORD LoadWinFax(unique_hmodule& winfax);

struct ProviderRegistration {
  bool bound = false;           // the library and its function were found
  DWORD error = ERROR_SUCCESS;  // the call's error, or why it could not be bound
};
ProviderRegistration RegisterProviderWithFaxService(const wchar_t* imagePath);

enum class FaxServiceStop { Requested, ManagerNotOpened, ServiceNotOpened, Refused };
struct FaxServiceStopResult {
  FaxServiceStop outcome = FaxServiceStop::Requested;
  DWORD error = ERROR_SUCCESS;
};
// Asks the "Fax" service to stop without waiting for it. A service that is
// not running counts as stopped.
FaxServiceStopResult RequestFaxServiceStop();

}  // namespace corvisk
