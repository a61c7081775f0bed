#pragma once
// A credential made on this machine for the application registration: an
// RSA key made with CNG and a self-signed certificate for it, whose public
// part the administrator uploads. Kept as an imported credential is.
#include <string>

#include "cloudmail/CertificateImport.h"

namespace corvisk {

// Makes the key (kMinRsaKeyBits) and a certificate for "CN=commonName",
// valid from a few minutes ago for validDays, signed RS256 with the key.
CloudOutcome CreateSelfSignedCredential(const std::wstring& commonName, unsigned validDays,
                                        ImportedCredential& credential);

}  // namespace corvisk
