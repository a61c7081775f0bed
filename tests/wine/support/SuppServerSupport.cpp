#include "SuppServerSupport.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <vector>

#include "ChildProcess.h"
#include "servers/QuendrySupp.h"
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

void SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
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

SilentSuppEmailRegistration::SilentSuppEmailRegistration() {
  wchar_t clsid[40] = L"";
  StringFromGUID2(CLSID_SuppEmail, clsid, 40);
  key_ = std::wstring(L"Software\\Classes\\CLSID\\") + clsid + L"\\InprocServer32";
  const std::wstring dll = ProgramFolder() + L"silent_suppemail.dll";
  unique_hkey key;
  EXPECT_EQ(
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr),
      ERROR_SUCCESS);
  SetText(key.get(), nullptr, dll);
  SetText(key.get(), L"ThreadingModel", L"Both");
}

SilentSuppEmailRegistration::~SilentSuppEmailRegistration() {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, key_.c_str());
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, key_.c_str());
}

}  // namespace corvisk::test
