#pragma once
// The forms in which an administrator brings a certificate and its key:
// PEM blocks and the PKCS#8 wrapper around an RSA key. Windows decodes the
// RSA key itself (PKCS_RSA_PRIVATE_KEY) but not, under Wine, the wrapper, so
// this small reader unwraps it. No Windows header: tested and fuzzed natively.
#include <string>
#include <string_view>

namespace corvisk {

// The DER bytes of the first PEM block with that label ("CERTIFICATE",
// "PRIVATE KEY", ...); false when there is none or it is not base64.
bool ReadPemBlock(std::string_view text, std::string_view label, std::string& der);

enum class PrivateKeyInfoError {
  None,
  Malformed,     // not DER of a PrivateKeyInfo
  NotRsa,        // another algorithm than rsaEncryption
  WrongVersion,  // a version other than 0
};

// The RSAPrivateKey (PKCS #1) inside a PKCS #8 PrivateKeyInfo.
PrivateKeyInfoError ReadRsaPrivateKeyInfo(std::string_view der, std::string& rsaPrivateKey);

// The modulus size in bits of a PKCS #1 RSAPrivateKey; 0 when der is none.
unsigned RsaPrivateKeyBits(std::string_view der);

}  // namespace corvisk
