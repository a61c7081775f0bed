// Stand-in for the fax service as far as the service manager sees it: a
// service of its own process that reports running once started and stops
// when asked. Nothing else; tests use it to exercise the real service calls.
// Started with the argument "refuse-stop" it accepts no stop request until
// it receives the control kAcceptStopControl, so a test can see a stop fail.
#include <windows.h>

#include <atomic>

#include "win32/Handles.h"

using corvisk::unique_handle;

namespace {

wchar_t kServiceName[] = L"Fax";
constexpr DWORD kAcceptStopControl = 128;

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
unique_handle g_stopRequested;
// Read by the control handler on the dispatcher thread.
std::atomic<bool> g_acceptStop{true};

void ReportState(DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  if (state == SERVICE_RUNNING && g_acceptStop)
    status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
  SetServiceStatus(g_statusHandle, &status);
}

DWORD WINAPI HandleControl(DWORD control, DWORD, LPVOID, LPVOID) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      if (!g_acceptStop) return ERROR_INVALID_SERVICE_CONTROL;
      [[fallthrough]];
    case SERVICE_CONTROL_SHUTDOWN:
      ReportState(SERVICE_STOP_PENDING);
      SetEvent(g_stopRequested.get());
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    case kAcceptStopControl:
      g_acceptStop = true;
      ReportState(SERVICE_RUNNING);
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI RunService(DWORD argc, LPWSTR* argv) {
  g_acceptStop = !(argc > 1 && lstrcmpW(argv[1], L"refuse-stop") == 0);
  g_statusHandle = RegisterServiceCtrlHandlerExW(kServiceName, HandleControl, nullptr);
  if (!g_statusHandle) return;
  g_stopRequested.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!g_stopRequested) {
    ReportState(SERVICE_STOPPED);
    return;
  }
  ReportState(SERVICE_RUNNING);
  WaitForSingleObject(g_stopRequested.get(), INFINITE);
  ReportState(SERVICE_STOPPED);
}

}  // namespace

int wmain() {
  const SERVICE_TABLE_ENTRYW services[] = {{kServiceName, RunService}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(services) ? 0 : static_cast<int>(GetLastError());
}
