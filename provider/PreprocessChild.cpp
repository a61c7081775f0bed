#include "provider/PreprocessChild.h"

namespace corvisk {

DWORD PreprocessChild::Start(std::string commandLine, const std::atomic<bool>& aborted) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  // Created outside the lock: an abort holds the provider's lock while it
  // waits for this one, and process creation may take long.
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    return GetLastError();
  CriticalSectionGuard guard(lock_);
  process_ = started;
  // An abort flags the job before it looks for a child: one that found none
  // is seen here.
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
