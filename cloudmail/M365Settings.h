#pragma once
// The settings of the Microsoft 365 transport, read from the settings key
// only when "MailTransport" chooses it.
#include <windows.h>

#include <string>

namespace corvisk {

inline constexpr char kMicrosoft365Transport[] = "Microsoft365";
inline constexpr char kDefaultAuthorityHost[] = "login.microsoftonline.com";
inline constexpr char kDefaultGraphHost[] = "graph.microsoft.com";

struct M365Settings {
  std::string tenantId;
  std::string clientId;
  std::string mailbox;  // empty: the notification address sends
  std::string authorityHost = kDefaultAuthorityHost;
  std::string graphHost = kDefaultGraphHost;
  std::string clientSecretBlob;    // protected with DPAPI
  std::string certificate;         // DER
  std::string certificateKeyBlob;  // PRIVATEKEYBLOB, protected with DPAPI
};

// Reads the values that are present; the key must already be readable.
LONG ReadM365Settings(M365Settings& settings);
// "MailTransport"; ERROR_FILE_NOT_FOUND when it is absent.
LONG ReadMailTransport(std::string& transport);

}  // namespace corvisk
