// Loads the control panel applet as a control panel process does, so that
// the applet sees this process's command line and token:
//   applet_host load [ARGS...]  exits with the milliseconds the load took
//   applet_host open            opens the applet (CPL_DBLCLK), exits with its result
//   applet_host read-settings   exits with the status of opening the settings key for reading
//   applet_host sleep           lives until it is ended (a stand-in installer)
#include <windows.h>
#include <cpl.h>

#include <string>

namespace {

std::wstring AppletPath() {
  wchar_t path[MAX_PATH] = L"";
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring program(path, length);
  return program.substr(0, program.find_last_of(L"\\/") + 1) + L"CorviskFSPCPL.cpl";
}

int OpenApplet() {
  const HMODULE module = LoadLibraryW(AppletPath().c_str());
  if (!module) return -2;
  using CPlAppletFn = LONG(APIENTRY*)(HWND, UINT, LPARAM, LPARAM);
  const auto applet = reinterpret_cast<CPlAppletFn>(reinterpret_cast<void*>(GetProcAddress(module, "CPlApplet")));
  const LONG result = applet ? applet(nullptr, CPL_DBLCLK, 0, 0) : -2;
  FreeLibrary(module);
  return static_cast<int>(result);
}

int ReadSettings() {
  HKEY key = nullptr;
  const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mervale\\CorviskFSP", 0, KEY_READ, &key);
  if (key) RegCloseKey(key);
  return static_cast<int>(status);
}

int LoadApplet() {
  const DWORD start = GetTickCount();
  const HMODULE module = LoadLibraryW(AppletPath().c_str());
  const DWORD elapsed = GetTickCount() - start;
  if (!module) return -1;
  FreeLibrary(module);
  return static_cast<int>(elapsed);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc >= 2 ? argv[1] : L"";
  if (mode == L"sleep") {
    Sleep(INFINITE);
    return 0;
  }
  if (mode == L"open") return OpenApplet();
  if (mode == L"read-settings") return ReadSettings();
  return LoadApplet();
}
