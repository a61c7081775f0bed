#pragma once
// The stand-in's SMTP submission over Winsock.
#include <string>
#include <vector>

#include "OutgoingMessage.h"
#include "RichError.h"

namespace corvisk::cdo_standin {

struct SmtpSettings {
  std::string server;
  long port = 25;
  long timeoutSeconds = 30;
  long authenticate = 0;  // CDO's method: 0 anonymous, 1 basic (AUTH LOGIN), 2 NTLM
  std::string userName;
  std::string password;
  bool useSsl = false;
};

struct SmtpEnvelope {
  std::string mailFrom;
  std::vector<std::string> recipients;
};

Outcome SendBySmtp(const SmtpSettings& settings, const SmtpEnvelope& envelope, const OutgoingMessage& message);

}  // namespace corvisk::cdo_standin
