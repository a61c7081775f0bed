#pragma once
// The functions we bind at run time rather than import, so that our binaries
// still start where a system lacks them: one declared type per function, and
// for each library a table of named pointers that its loader fills from the
// loaded module. A null pointer is a function the module does not have;
// the last error after the loader is GetProcAddress's for the first of them.
#include <windows.h>

namespace corvisk {

// kernel32.dll: calls of 64-bit Windows.
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE process, PBOOL wow64);
using GetSystemWow64DirectoryAFn = UINT(WINAPI*)(LPSTR folder, UINT size);
struct Kernel32Calls {
  IsWow64ProcessFn IsWow64Process = nullptr;
  GetSystemWow64DirectoryAFn GetSystemWow64DirectoryA = nullptr;
};
// kernel32.dll is loaded in every process, so the table needs no module of
// the caller's.
Kernel32Calls BindKernel32Calls();

// shell32.dll: the administrator check of Windows 2000 and later.
using IsUserAnAdminFn = BOOL(WINAPI*)();
struct Shell32Calls {
  IsUserAnAdminFn IsUserAnAdmin = nullptr;
};
Shell32Calls BindShell32Calls(HMODULE shell32);

// winfax.dll, the fax service's client library, which is missing where the
// fax service is not installed: provider registration.
using FaxRegisterServiceProviderWFn = BOOL(WINAPI*)(LPCWSTR deviceProvider, LPCWSTR friendlyName, LPCWSTR imageName,
                                                    LPCWSTR tspName);
using FaxUnregisterServiceProviderWFn = BOOL(WINAPI*)(LPCWSTR deviceProvider);
struct WinFaxCalls {
  FaxRegisterServiceProviderWFn FaxRegisterServiceProviderW = nullptr;
  FaxUnregisterServiceProviderWFn FaxUnregisterServiceProviderW = nullptr;
};
WinFaxCalls BindWinFaxCalls(HMODULE winfax);

}  // namespace corvisk
