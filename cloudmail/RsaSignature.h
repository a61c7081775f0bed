#pragma once
// RS256 signatures with an RSA key held as PKCS #1 DER, through CNG.
#include <windows.h>

#include <string>
#include <string_view>

namespace corvisk {

// S_OK and the signature (RSASSA-PKCS1-v1_5 over SHA-256), or the failure.
HRESULT SignRs256(const std::string& rsaPrivateKey, std::string_view input, std::string& signature);

// The key's size in bits, or 0 when it is no RSA private key.
unsigned RsaKeyBits(const std::string& rsaPrivateKey);

}  // namespace corvisk
