#include "provider/PreprocessChild.h"

namespace corvisk {

DWORD PreprocessChild::Start(std::string commandLine, const std::atomic<bool>& aborted) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  CriticalSectionGuard guard(lock_);
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_)) {
    const DWORD error = GetLastError();
    process_ = PROCESS_INFORMATION{};
    return error;
  }
  if (aborted) TerminateProcess(process_.hProcess, 0xFFFFFFFF);
  return 0;
}

void PreprocessChild::WaitForExit() {
  HANDLE process = nullptr;
  {
    CriticalSectionGuard guard(lock_);
    process = process_.hProcess;
  }
  // Safe without the lock: only this thread closes the handle, below.
  if (process) WaitForSingleObject(process, INFINITE);
  CriticalSectionGuard guard(lock_);
  if (process_.hThread) CloseHandle(process_.hThread);
  if (process_.hProcess) CloseHandle(process_.hProcess);
  process_ = PROCESS_INFORMATION{};
}

void PreprocessChild::Terminate() {
  CriticalSectionGuard guard(lock_);
  if (process_.hProcess) TerminateProcess(process_.hProcess, 0xFFFFFFFF);
}

}  // namespace corvisk
