#pragma once
// What the tests of the helper servers share: their processes and their
// registration, and the messages the gateway mail servers received.
#include <windows.h>

#include <optional>
#include <string>

#include "GatewayMailbox.h"

namespace corvisk::test {

// Running processes of the program (for example L"QuendrySuppEmail.exe").
int CountProcesses(const wchar_t* program);
// Waits up to timeoutMs until count processes of the program run.
bool WaitForProcessCount(const wchar_t* program, int count, DWORD timeoutMs);

// Runs a server program of this build with one argument; its exit code.
unsigned long RunServer(const wchar_t* program, const wchar_t* argument);

// The message the gateway server stored with that subject; none when it
// has none.
std::optional<ReceivedMessage> FindBySubject(const GatewayServer& server, const std::string& subject);

}  // namespace corvisk::test
