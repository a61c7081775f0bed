#pragma once
// The configuration program's test message through Microsoft Graph, and
// what the token it got says about the application.
#include <string>

#include "cloudmail/GraphClient.h"
#include "cloudmail/M365Settings.h"

namespace corvisk {

struct TokenFacts {
  long long expiresAt = 0;  // seconds since 1970, UTC; 0 when unknown
  std::string roles;        // "Mail.Send, ..."; empty when none
};

// The expiry and roles in a token's claims (a JWT); nothing when it is none.
TokenFacts ReadTokenFacts(const std::string& token);

// Sends a short text message from the mailbox (or address) to address.
CloudOutcome SendTestMailThroughGraph(const M365Settings& settings, const std::string& address, int timeoutSeconds,
                                      TokenFacts& facts);

}  // namespace corvisk
