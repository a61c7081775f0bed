#include "ChildProcess.h"

#include <windows.h>

#include "win32/Handles.h"

namespace corvisk::test {

ChildResult RunChild(const std::wstring& commandLine) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  unique_handle readEnd, writeEnd;
  if (!CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 0)) return {~0ul, "CreatePipe failed"};
  SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = writeEnd.get();
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
    return {~0ul, "CreateProcess failed"};
  unique_handle processHandle(process.hProcess), threadHandle(process.hThread);
  writeEnd.reset();
  ChildResult result;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(readEnd.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) result.output.append(buffer, read);
  WaitForSingleObject(processHandle.get(), INFINITE);
  GetExitCodeProcess(processHandle.get(), &result.exitCode);
  return result;
}

unique_handle StartChild(const std::wstring& commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return unique_handle();
  CloseHandle(process.hThread);
  return unique_handle(process.hProcess);
}

std::string RecordedCommandLine(const std::wstring& record, unsigned long waitMs) {
  for (DWORD waited = 0;; waited += 50) {
    const unique_hfile file(
        CreateFileW(record.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file) {
      char text[1024];
      DWORD read = 0;
      ReadFile(file.get(), text, sizeof text, &read, nullptr);
      return std::string(text, read);
    }
    if (waited >= waitMs) return "";
    Sleep(50);
  }
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = L"";
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

}  // namespace corvisk::test
