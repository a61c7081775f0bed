#pragma once
// The test message of the configuration program, sent from the notify
// address to itself through one of the two transports the provider uses.
#include <windows.h>

#include <string>

namespace corvisk {

struct TestMailRequest {
  std::string address;  // the notify address, spaces and tabs already cut: recipient and sender
  std::string server, account, password;
  LONG port = 25, timeoutSeconds = 30;
  bool ntlm = false;  // the NTLM check box
  bool ssl = false;   // the SSL check box state is 1
};

enum class TestMailTransport { Cdo, SuppEmail };

// Submits the test message through one transport and composes the error
// text by that transport's rules, including the " failed to send email\n"
// rule for an escaping exception. The calling thread has initialised COM.
// Never throws.
HRESULT SubmitTestMail(const TestMailRequest& request, TestMailTransport transport, std::string& errorText) noexcept;

}  // namespace corvisk
