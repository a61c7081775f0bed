#include "SuppServerSupport.h"

#include <tlhelp32.h>

#include <vector>

#include "ChildProcess.h"
#include "win32/Handles.h"

namespace corvisk::test {

namespace {

std::vector<DWORD> ProcessIds(const wchar_t* program) {
  std::vector<DWORD> ids;
  const unique_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (lstrcmpiW(entry.szExeFile, program) == 0) ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

}  // namespace

int CountProcesses(const wchar_t* program) { return static_cast<int>(ProcessIds(program).size()); }

bool WaitForProcessCount(const wchar_t* program, int count, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (CountProcesses(program) != count) {
    if (GetTickCount64() > end) return false;
    Sleep(50);
  }
  return true;
}

unsigned long RunServer(const wchar_t* program, const wchar_t* argument) {
  return RunChild(L"\"" + ProgramFolder() + program + L"\" " + argument).exitCode;
}

}  // namespace corvisk::test
