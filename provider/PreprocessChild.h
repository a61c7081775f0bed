#pragma once
// The record of a job's running preprocessing command. The send thread
// starts and waits for the child while an abort on another thread may
// terminate it, so every use of the handles happens under the record's own
// lock; no other lock is ever taken while it is held.
#include <windows.h>

#include "win32/CriticalSection.h"

namespace corvisk {

class PreprocessChild {
 public:
  // Takes over the handles of a started child.
  void Attach(const PROCESS_INFORMATION& process);
  // Closes the handles and clears the record.
  void Detach();
  // Ends a running child at once with exit code 0xFFFFFFFF.
  void Terminate();

 private:
  CriticalSection lock_;
  PROCESS_INFORMATION process_{};
};

}  // namespace corvisk
