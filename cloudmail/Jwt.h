#pragma once
// The parts of a JSON Web Token that are text: base64url and the signing
// input of a client assertion. No Windows header.
#include <string>
#include <string_view>

namespace corvisk {

std::string EncodeBase64Url(std::string_view bytes);

// What a certificate credential tells Microsoft's token endpoint.
struct AssertionClaims {
  std::string thumbprint;  // SHA-1 of the certificate's DER
  std::string audience;    // the token endpoint's URL
  std::string clientId;    // issuer and subject
  std::string id;          // unique per assertion
  long long now = 0;       // seconds since 1970, UTC
};

// Lifetime of one assertion; Microsoft accepts up to ten minutes.
inline constexpr long long kAssertionSeconds = 600;

// base64url(header) "." base64url(claims), for RS256 signing.
std::string AssertionSigningInput(const AssertionClaims& claims);

}  // namespace corvisk
