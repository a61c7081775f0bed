#pragma once
#include <windows.h>

namespace corvisk {

// The begin and exit lines of a traced entry point on the debugger output.
// The exit line is written by End only: an entry point that fails through an
// exception writes its exception text instead.
class EntryTrace {
 public:
  explicit EntryTrace(const char* name);
  void End(DWORD result) const;

 private:
  const char* name_;
};

}  // namespace corvisk
