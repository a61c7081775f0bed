// Loaded into a program started suspended (see tests/wine/ConfigProgram), it
// makes the program's executable see the platform that the environment names,
// through the executable's import table as faxhost does for the provider:
//   CORVISK_SIM_PLATFORM  MAJOR.MINOR[-server]   the version query's answer
//   CORVISK_SIM_WOW64     1                       a 32-bit process on 64-bit Windows
//   CORVISK_SIM_NOT_ADMIN 1                       IsUserAnAdmin answers FALSE
//   CORVISK_SIM_DEBUG_LOG PATH                    the debugger output, written at exit
//   CORVISK_SIM_MESSAGE_LOG PATH                  one line per message box: its style in hex
//   CORVISK_SIM_REGISTRY_LOG PATH                 one line per registry value written: its name
//   CORVISK_SIM_REGISTRY_REFUSE NAME              writing the value of that name fails, access denied
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "HostCapture.h"
#include "ImportPatch.h"

namespace {

using namespace corvisk::testbed;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && std::strcmp(value, "1") == 0;
}

BOOL WINAPI FakeIsWow64Process(HANDLE, PBOOL wow64) {
  *wow64 = TRUE;
  return TRUE;
}

BOOL WINAPI FakeIsUserAnAdmin() { return FALSE; }

using ProcAddress = FARPROC(WINAPI*)(HMODULE, LPCSTR);
ProcAddress g_realGetProcAddress = &GetProcAddress;

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
  if (!IS_INTRESOURCE(name)) {
    if (IsSet("CORVISK_SIM_WOW64") && std::strcmp(name, "IsWow64Process") == 0)
      return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeIsWow64Process));
    if (IsSet("CORVISK_SIM_NOT_ADMIN") && std::strcmp(name, "IsUserAnAdmin") == 0)
      return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeIsUserAnAdmin));
  }
  return g_realGetProcAddress(module, name);
}

void AppendLine(const char* variable, const char* line) {
  const char* path = std::getenv(variable);
  if (!path) return;
  if (FILE* log = std::fopen(path, "a")) {
    std::fprintf(log, "%s\n", line);
    std::fclose(log);
  }
}

// Appended before the box shows, so a driver that sees the box finds its line.
int WINAPI RecordingMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  char line[16];
  std::snprintf(line, sizeof line, "%x", style);
  AppendLine("CORVISK_SIM_MESSAGE_LOG", line);
  return MessageBoxA(owner, text, caption, style);
}

using SetValue = LSTATUS(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
SetValue g_realRegSetValueExA = &RegSetValueExA;

LSTATUS WINAPI RecordingRegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                       DWORD size) {
  AppendLine("CORVISK_SIM_REGISTRY_LOG", name ? name : "");
  const char* refused = std::getenv("CORVISK_SIM_REGISTRY_REFUSE");
  if (refused && name && std::strcmp(refused, name) == 0) return ERROR_ACCESS_DENIED;
  return g_realRegSetValueExA(key, name, reserved, type, data, size);
}

void SimulateVersion() {
  const char* text = std::getenv("CORVISK_SIM_PLATFORM");
  if (!text) return;
  SimulatedPlatform platform;
  unsigned long major = 0, minor = 0;
  char edition[16] = "";
  if (std::sscanf(text, "%lu.%lu-%15s", &major, &minor, edition) < 2) return;
  platform.major = major;
  platform.minor = minor;
  platform.server = std::strcmp(edition, "server") == 0;
  SimulatePlatform(platform);
}

void WriteDebugLog() {
  const char* path = std::getenv("CORVISK_SIM_DEBUG_LOG");
  if (!path) return;
  const std::string text = DebugText();
  const HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    const HMODULE program = GetModuleHandleA(nullptr);
    WatchProvider(program);
    SimulateVersion();
    if (void* real =
            PatchImport(program, "kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(FakeGetProcAddress)))
      g_realGetProcAddress = reinterpret_cast<ProcAddress>(real);
    PatchImport(program, "user32.dll", "MessageBoxA", reinterpret_cast<void*>(RecordingMessageBoxA));
    if (void* real =
            PatchImport(program, "advapi32.dll", "RegSetValueExA", reinterpret_cast<void*>(RecordingRegSetValueExA)))
      g_realRegSetValueExA = reinterpret_cast<SetValue>(real);
    if (std::getenv("CORVISK_SIM_DEBUG_LOG")) CaptureDebugOutput();
  } else if (reason == DLL_PROCESS_DETACH) {
    WriteDebugLog();
  }
  return TRUE;
}
