// Loads the control panel applet as a control panel process does, so that
// the applet sees this process's command line:
//   applet_host load [ARGS...]  exits with the milliseconds the load took
//   applet_host sleep           lives until it is ended (a stand-in installer)
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wcscmp(argv[1], L"sleep") == 0) {
    Sleep(INFINITE);
    return 0;
  }
  wchar_t path[MAX_PATH] = L"";
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring applet(path, length);
  applet = applet.substr(0, applet.find_last_of(L"\\/") + 1) + L"CorviskFSPCPL.cpl";
  const DWORD start = GetTickCount();
  const HMODULE module = LoadLibraryW(applet.c_str());
  const DWORD elapsed = GetTickCount() - start;
  if (!module) return -1;
  FreeLibrary(module);
  return static_cast<int>(elapsed);
}
