#pragma once
// The parts of a JSON Web Token that are text: base64url and the signing
// inputs of Microsoft's client assertion and of Google's service-account
// grant. No Windows header.
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

// What a Google service account asserts to act as a mailbox.
struct ServiceAccountClaims {
  std::string issuer;    // the service account's e-mail
  std::string scope;     // space-separated scopes
  std::string audience;  // the token URI
  std::string subject;   // the mailbox acted as
  long long now = 0;     // seconds since 1970, UTC
};

// Lifetime of one grant; Google takes at most an hour.
inline constexpr long long kServiceAccountSeconds = 3600;

std::string ServiceAccountSigningInput(const ServiceAccountClaims& claims);

}  // namespace corvisk
