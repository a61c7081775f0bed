// CorviskFSPConfig.exe: the property sheet that edits the CorviskFSP
// settings, checks and prepares the fax service.
#include <windows.h>

#include "config/ConfigApp.h"
#include "win32/ExceptionBoundary.h"

// The command line is not examined: every start behaves the same.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return corvisk::ReturnOnException("CorviskFSPConfig - exception\n", 1, [] {
    // Static, as the waiter thread may still ask it for the main window
    // while the process ends.
    static corvisk::CConfigApp app;
    app.InitInstance();
    return 0;
  });
}
