#pragma once
// Google's token for a service account acting as one mailbox: a grant
// signed RS256 with the account's imported key, exchanged at its token URI.
#include <string>

#include "cloudmail/CloudClient.h"
#include "cloudmail/GoogleSettings.h"

namespace corvisk {

// The process's token for these settings and mailbox: fetched by one send
// at a time, shared by all, renewed five minutes before it expires or when
// a send found it rejected.
CloudOutcome SharedGoogleToken(CloudClient& client, const GoogleSettings& settings, const std::string& mailbox,
                               const std::string& rejected, std::string& token);

}  // namespace corvisk
