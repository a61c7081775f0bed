#pragma once
// A certificate credential brought by the administrator, checked and made
// ready to store: the certificate's DER for "M365Certificate" and its RSA key,
// protected with DPAPI in machine scope, for "M365CertificateKey".
#include <string>

#include "cloudmail/GraphClient.h"

namespace corvisk {

// Keys shorter than this are refused.
inline constexpr unsigned kMinRsaKeyBits = 2048;

struct ImportedCredential {
  std::string certificate;   // DER
  std::string protectedKey;  // DPAPI blob of the PKCS #1 key
};

// From PEM text holding a CERTIFICATE and its PRIVATE KEY (PKCS #8) or RSA
// PRIVATE KEY (PKCS #1) block, as openssl writes them.
CloudOutcome ImportPemCredential(const std::string& pem, ImportedCredential& credential);

}  // namespace corvisk
