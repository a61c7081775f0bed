#pragma once
#include <string>

#include "win32/Handles.h"

namespace corvisk::test {

struct ChildResult {
  unsigned long exitCode = 0;
  std::string output;  // standard output and standard error, as written
};

// Runs a command line to its end and collects what it printed.
ChildResult RunChild(const std::wstring& commandLine);
// Starts a command line and hands back its process, without waiting.
unique_handle StartChild(const std::wstring& commandLine);
// The command line that record_command_line.exe wrote to the file record,
// waiting up to waitMs for it to appear; "" when it did not.
std::string RecordedCommandLine(const std::wstring& record, unsigned long waitMs);
// Folder of the running test program, with a trailing backslash.
std::wstring ProgramFolder();

}  // namespace corvisk::test
