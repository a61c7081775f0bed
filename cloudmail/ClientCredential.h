#pragma once
// The application's credential in a token request: a client assertion
// signed with the imported certificate's key, or the client secret.
#include <string>

#include "cloudmail/GraphClient.h"
#include "cloudmail/M365Settings.h"

namespace corvisk {

// The form fields that prove the application's identity to tokenUrl.
CloudOutcome ClientCredentialFields(const M365Settings& settings, const std::string& tokenUrl, std::string& fields);

}  // namespace corvisk
