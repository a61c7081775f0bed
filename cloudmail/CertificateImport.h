#pragma once
// A certificate credential brought by the administrator, checked and made
// ready to store: the certificate's DER for "M365Certificate" and its RSA key,
// (a CryptoAPI PRIVATEKEYBLOB) protected with DPAPI in machine scope, for "M365CertificateKey".
#include <windows.h>

#include <string>
#include <vector>

#include "cloudmail/GraphClient.h"
#include "settings/RegistryText.h"

namespace corvisk {

// Keys shorter than this are refused.
inline constexpr unsigned kMinRsaKeyBits = 2048;

struct ImportedCredential {
  std::string certificate;   // DER
  std::string protectedKey;  // DPAPI blob of the key's PRIVATEKEYBLOB
};

// From PEM text holding a CERTIFICATE and its PRIVATE KEY (PKCS #8) or RSA
// PRIVATE KEY (PKCS #1) block, as openssl writes them.
CloudOutcome ImportPemCredential(const std::string& pem, ImportedCredential& credential);

// From a PFX (PKCS #12) file and its password. Its key is taken out of the
// key container the import makes and that container is deleted again.
CloudOutcome ImportPfxCredential(const std::string& pfx, const std::wstring& password, ImportedCredential& credential);

// From the file at path: PEM when its name ends in .pem, else PFX with the
// password.
CloudOutcome ImportCredentialFile(const std::wstring& path, const std::wstring& password,
                                  ImportedCredential& credential);

// "M365Certificate" and "M365CertificateKey", the values that keep it.
std::vector<RegistryValue> CredentialValues(const ImportedCredential& credential);
// Writes them into the settings key, opened for setting values.
LONG StoreCredential(HKEY settingsKey, const ImportedCredential& credential);

}  // namespace corvisk
