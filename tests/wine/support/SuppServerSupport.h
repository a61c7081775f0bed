#pragma once
// What the tests of the helper servers share: their processes and their
// registration.
#include <windows.h>

#include <string>

#include "GatewayMailbox.h"

namespace corvisk::test {

// Running processes of the program (for example L"QuendrySuppEmail.exe").
int CountProcesses(const wchar_t* program);
// Waits up to timeoutMs until count processes of the program run.
bool WaitForProcessCount(const wchar_t* program, int count, DWORD timeoutMs);

// Runs a server program of this build with one argument; its exit code.
unsigned long RunServer(const wchar_t* program, const wchar_t* argument);

// Puts a QuendrySuppEmail that fails without a description in front of the
// real server, in-process, for the life of the object.
class SilentSuppEmailRegistration {
 public:
  SilentSuppEmailRegistration();
  ~SilentSuppEmailRegistration();
  SilentSuppEmailRegistration(const SilentSuppEmailRegistration&) = delete;
  SilentSuppEmailRegistration& operator=(const SilentSuppEmailRegistration&) = delete;

 private:
  std::wstring key_;
};

}  // namespace corvisk::test
