#pragma once
// What the administrator reads when Google refuses a fax: the fault in plain
// words, what to do about it, and Google's own code. Each text fits the
// event log's 255 characters. No Windows header.
#include <string>

namespace corvisk {

// Largest message Gmail's upload takes.
inline constexpr unsigned long long kGmailMessageLimit = 35ull * 1024 * 1024;

// Google's token endpoint answered status with body ({"error": ...,
// "error_description": ...}) for the grant to act as mailbox.
std::string GoogleTokenFailureText(unsigned long status, const std::string& body, const std::string& mailbox);

// Gmail answered status with body ({"error":{"errors":[{"reason":...}]}}).
std::string GmailFailureText(unsigned long status, const std::string& body, const std::string& mailbox);

// The message of size bytes is over kGmailMessageLimit.
std::string GmailTooLargeText(unsigned long long size);

}  // namespace corvisk
