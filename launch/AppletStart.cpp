#include "launch/AppletStart.h"

#include <cstdio>

#include "common/Product.h"

namespace corvisk {

// Opens the control panel on the configuration applet, handing it the
// installer's process id so that the applet waits for the installer to end.
// Never waits itself, and never fails the installation: a control panel that
// cannot be started is only traced.
UINT StartAppletForInstaller() noexcept {
  char commandLine[64];
  std::snprintf(commandLine, sizeof commandLine, "control.exe " CORVISK_APPLET_FILE " %lu _CA_",
                static_cast<unsigned long>(GetCurrentProcessId()));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    OutputDebugStringA("CustomActionCommit failed.\r\n");
    return ERROR_SUCCESS;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ERROR_SUCCESS;
}

}  // namespace corvisk
