// Stands in for a program a test expects to be started: writes the command
// line it was given to the file named by CORVISK_RECORD_FILE. The text is
// written beside it and renamed into place, so a reader never sees half of it.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t target[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"CORVISK_RECORD_FILE", target, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  const std::wstring partial = std::wstring(target) + L".part";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  const char* commandLine = GetCommandLineA();
  DWORD written = 0;
  const BOOL wrote = WriteFile(file, commandLine, lstrlenA(commandLine), &written, nullptr);
  CloseHandle(file);
  if (!wrote || !MoveFileExW(partial.c_str(), target, MOVEFILE_REPLACE_EXISTING)) return 3;
  return 0;
}
