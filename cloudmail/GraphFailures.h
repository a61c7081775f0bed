#pragma once
// What the administrator reads when Microsoft 365 refuses a fax: the fault
// in plain words, what to do about it, and Microsoft's own code. Each text
// fits the event log's 255 characters. No Windows header.
#include <string>

namespace corvisk {

// The token endpoint answered status with body (JSON with "error_codes" or
// an "AADSTS..." description).
std::string TokenFailureText(unsigned long status, const std::string& body);

// Graph answered status with body ({"error":{"code":...}}) for the mailbox.
std::string GraphFailureText(unsigned long status, const std::string& body, const std::string& mailbox);

// No answer came from host: error is WinHTTP's (12002 time-out, 12029 no
// connection, 12157 and 12175 the server's certificate, ...).
std::string ConnectionFailureText(unsigned long error, const std::string& host, int timeoutSeconds);

// The AADSTS number in a token error, or 0.
unsigned long AadstsCode(const std::string& body);

}  // namespace corvisk
