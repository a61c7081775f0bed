#include "provider/PreprocessChild.h"

namespace corvisk {

void PreprocessChild::Attach(const PROCESS_INFORMATION& process) {
  CriticalSectionGuard guard(lock_);
  process_ = process;
}

void PreprocessChild::Detach() {
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
