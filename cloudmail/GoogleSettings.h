#pragma once
// The settings of the Google Workspace transport, read from the settings key
// only when "MailTransport" chooses it.
#include <windows.h>

#include <string>

#include "cloudmail/GoogleKey.h"

namespace corvisk {

inline constexpr char kGoogleTransport[] = "Google";
inline constexpr char kDefaultGmailApiHost[] = "gmail.googleapis.com";
// The one scope the service account is granted: sending, nothing else.
inline constexpr char kGmailSendScope[] = "https://www.googleapis.com/auth/gmail.send";

struct GoogleSettings {
  std::string clientEmail;
  std::string tokenUri = kDefaultGoogleTokenUri;
  std::string privateKeyBlob;  // PKCS #1 RSA key, protected with DPAPI
  std::string mailbox;         // empty: the notification address sends
  std::string apiHost = kDefaultGmailApiHost;
};

// Reads the values that are present; the key must already be readable.
LONG ReadGoogleSettings(GoogleSettings& settings);

}  // namespace corvisk
