#pragma once
#include <windows.h>

namespace corvisk {

// Restores the thread's last error when the scope ends: every owner's
// cleanup and every trace runs under one, so neither can hide the error
// that a caller is about to read.
class LastErrorKeeper {
 public:
  LastErrorKeeper() : error_(GetLastError()) {}
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;
  ~LastErrorKeeper() { SetLastError(error_); }

 private:
  DWORD error_;
};

}  // namespace corvisk
