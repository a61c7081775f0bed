#pragma once
// The record of a job's running preprocessing command. The send thread
// starts the child and waits for it while an abort on another thread may
// terminate it, so the handles are only touched under the record's own lock
// (a leaf lock: nothing else is taken while it is held) and only the send
// thread closes them.
#include <windows.h>

#include <atomic>
#include <string>

#include "win32/CriticalSection.h"

namespace corvisk {

class PreprocessChild {
 public:
  // Starts the command line; 0 or the system error. The process is created
  // without the lock, so an abort meanwhile does not wait for it; a job
  // aborted before the record holds the child has it ended at once, as no
  // abort is coming any more to end it.
  DWORD Start(std::string commandLine, const std::atomic<bool>& aborted);
  // Waits without time limit for the child to end, then closes its handles
  // and clears the record.
  void WaitForExit();
  // Ends a running child at once with exit code 0xFFFFFFFF.
  void Terminate();

 private:
  CriticalSection lock_;
  PROCESS_INFORMATION process_{};
};

}  // namespace corvisk
