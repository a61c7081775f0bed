#pragma once
// What an access token says about the application: its expiry and roles.
// No Windows header.
#include <string>

namespace corvisk {

struct TokenFacts {
  long long expiresAt = 0;  // seconds since 1970, UTC; 0 when unknown
  std::string roles;        // "Mail.Send, ..."; empty when none
};

// The expiry and roles in a token's claims (a JWT); nothing when it is none.
TokenFacts ReadTokenFacts(const std::string& token);

}  // namespace corvisk
