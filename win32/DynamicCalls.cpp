#include "win32/DynamicCalls.h"

namespace corvisk {
namespace {

// Fills a table's pointers from one module and keeps the error of the first
// function not found, so that the last error after the loader names it.
class Binder {
 public:
  explicit Binder(HMODULE module) : module_(module) {}
  Binder(const Binder&) = delete;
  Binder& operator=(const Binder&) = delete;
  ~Binder() {
    if (error_ != ERROR_SUCCESS) SetLastError(error_);
  }

  template <typename Fn>
  void Bind(Fn& function, const char* name) {
    function = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    if (!function && error_ == ERROR_SUCCESS) error_ = GetLastError();
  }

 private:
  HMODULE module_;
  DWORD error_ = ERROR_SUCCESS;
};

}  // namespace

Kernel32Calls BindKernel32Calls() {
  Kernel32Calls calls;
  Binder binder(GetModuleHandleA("kernel32.dll"));
  binder.Bind(calls.IsWow64Process, "IsWow64Process");
  binder.Bind(calls.GetSystemWow64DirectoryA, "GetSystemWow64DirectoryA");
  return calls;
}

Shell32Calls BindShell32Calls(HMODULE shell32) {
  Shell32Calls calls;
  Binder binder(shell32);
  binder.Bind(calls.IsUserAnAdmin, "IsUserAnAdmin");
  return calls;
}

WinFaxCalls BindWinFaxCalls(HMODULE winfax) {
  WinFaxCalls calls;
  Binder binder(winfax);
  binder.Bind(calls.FaxRegisterServiceProviderW, "FaxRegisterServiceProviderW");
  binder.Bind(calls.FaxUnregisterServiceProviderW, "FaxUnregisterServiceProviderW");
  return calls;
}

}  // namespace corvisk
