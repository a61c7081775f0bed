#pragma once
// RS256 signatures through CNG with an RSA key kept as a CryptoAPI
// PRIVATEKEYBLOB: what a PFX import exports and what PKCS #1 decodes to
// (Wine's crypt32 decodes PKCS #1 but cannot encode it).
#include <windows.h>

#include <string>
#include <string_view>

namespace corvisk {

// A PKCS #1 RSAPrivateKey as a PRIVATEKEYBLOB.
HRESULT DecodeRsaPrivateKey(const std::string& pkcs1, std::string& privateKeyBlob);

// S_OK and the signature (RSASSA-PKCS1-v1_5 over SHA-256), or the failure.
HRESULT SignRs256(const std::string& privateKeyBlob, std::string_view input, std::string& signature);

// The key's size in bits, or 0 when it is no RSA private key.
unsigned RsaKeyBits(const std::string& privateKeyBlob);
// The key's modulus, big-endian; empty when it is no RSA private key.
std::string RsaKeyModulus(const std::string& privateKeyBlob);

}  // namespace corvisk
