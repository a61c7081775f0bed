// Stands in for a program a test expects to be started: writes the command
// line it was given to the file named by CORVISK_RECORD_FILE, or, for a
// program started by a service that does not pass our environment on, to its
// own path followed by ".cmdline". The text is written beside the file and
// renamed into place, so a reader never sees half of it.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t name[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"CORVISK_RECORD_FILE", name, MAX_PATH);
  std::wstring target(name, length < MAX_PATH ? length : 0);
  if (target.empty()) {
    length = GetModuleFileNameW(nullptr, name, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    target.assign(name, length).append(L".cmdline");
  }
  const std::wstring partial = target + L".part";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  const char* commandLine = GetCommandLineA();
  DWORD written = 0;
  const BOOL wrote = WriteFile(file, commandLine, lstrlenA(commandLine), &written, nullptr);
  CloseHandle(file);
  if (!wrote || !MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return 3;
  return 0;
}
