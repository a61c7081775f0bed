#pragma once
#include <windows.h>

#include <string>

namespace corvisk {

// Finds the SMTP server for a notify address: the built-in webmail
// provider's host for its domain, otherwise the domain's mail exchanger of
// the lowest preference. Shows its own failure messages in message boxes
// owned by owner and returns FALSE after showing one.
BOOL DiscoverSmtpServer(HWND owner, std::string notifyAddress, std::string& server);

}  // namespace corvisk
