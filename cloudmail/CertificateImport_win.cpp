#include "cloudmail/CertificateImport.h"

#include <algorithm>

#include "cloudmail/KeyFiles.h"
#include "cloudmail/ProtectedData.h"
#include "cloudmail/RsaSignature.h"
#include "common/TextFormat.h"
#include "win32/CryptoHandles.h"

namespace corvisk {
namespace {

CloudOutcome ReadPemKey(const std::string& pem, std::string& rsaKey) {
  std::string der;
  if (ReadPemBlock(pem, "RSA PRIVATE KEY", rsaKey)) return {};
  if (ReadPemBlock(pem, "ENCRYPTED PRIVATE KEY", der))
    return CloudFailure("The key in the file is encrypted. Export it without a password, or import a PFX file.");
  if (!ReadPemBlock(pem, "PRIVATE KEY", der)) return CloudFailure("The file holds no private key.");
  switch (ReadRsaPrivateKeyInfo(der, rsaKey)) {
    case PrivateKeyInfoError::None:
      return {};
    case PrivateKeyInfoError::NotRsa:
      return CloudFailure("The file's key is no RSA key; Microsoft 365 takes RSA keys of at least 2048 bits.");
    default:
      return CloudFailure("The file's private key cannot be read.");
  }
}

// The modulus of the certificate's public key, little-endian as CryptoAPI
// gives it.
std::string CertificateModulus(PCCERT_CONTEXT certificate) {
  const CERT_PUBLIC_KEY_INFO& info = certificate->pCertInfo->SubjectPublicKeyInfo;
  BYTE* blob = nullptr;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, RSA_CSP_PUBLICKEYBLOB, info.PublicKey.pbData, info.PublicKey.cbData,
                           CRYPT_DECODE_ALLOC_FLAG, nullptr, &blob, &size))
    return {};
  const unique_hlocal owner(blob);
  const auto* header = reinterpret_cast<const RSAPUBKEY*>(blob + sizeof(BLOBHEADER));
  const size_t offset = sizeof(BLOBHEADER) + sizeof(RSAPUBKEY);
  if (size < offset + header->bitlen / 8) return {};
  return std::string(reinterpret_cast<const char*>(blob + offset), header->bitlen / 8);
}

// The key's modulus from its PKCS #1 form, little-endian.
std::string KeyModulus(const std::string& rsaKey) {
  BYTE* blob = nullptr;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, PKCS_RSA_PRIVATE_KEY, reinterpret_cast<const BYTE*>(rsaKey.data()),
                           static_cast<DWORD>(rsaKey.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr, &blob, &size))
    return {};
  const unique_hlocal owner(blob);
  const auto* header = reinterpret_cast<const RSAPUBKEY*>(blob + sizeof(BLOBHEADER));
  const size_t offset = sizeof(BLOBHEADER) + sizeof(RSAPUBKEY);
  std::string modulus;
  if (size >= offset + header->bitlen / 8)
    modulus.assign(reinterpret_cast<const char*>(blob + offset), header->bitlen / 8);
  SecureZeroMemory(blob, size);
  return modulus;
}

CloudOutcome CheckPair(PCCERT_CONTEXT certificate, const std::string& rsaKey) {
  const unsigned bits = RsaKeyBits(rsaKey);
  if (bits < kMinRsaKeyBits)
    return CloudFailure(
        FormatText("The key has %u bits; Microsoft 365 takes RSA keys of at least %u bits.", bits, kMinRsaKeyBits));
  const std::string modulus = CertificateModulus(certificate);
  if (modulus.empty() || modulus != KeyModulus(rsaKey))
    return CloudFailure("The private key in the file does not belong to its certificate.");
  if (CertVerifyTimeValidity(nullptr, certificate->pCertInfo) > 0) return CloudFailure("The certificate has expired.");
  return {};
}

}  // namespace

CloudOutcome ImportPemCredential(const std::string& pem, ImportedCredential& credential) {
  std::string certificateDer;
  if (!ReadPemBlock(pem, "CERTIFICATE", certificateDer)) return CloudFailure("The file holds no certificate.");
  const unique_cert_context certificate(
      CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(certificateDer.data()),
                                   static_cast<DWORD>(certificateDer.size())));
  if (!certificate) return CloudFailure("The file's certificate cannot be read.");
  std::string rsaKey;
  CloudOutcome outcome = ReadPemKey(pem, rsaKey);
  if (SUCCEEDED(outcome.result)) outcome = CheckPair(certificate.get(), rsaKey);
  if (SUCCEEDED(outcome.result)) {
    if (const DWORD error = ProtectSecret(rsaKey, credential.protectedKey))
      outcome =
          CloudFailure(FormatText("The key could not be protected (error %lu).", error), HRESULT_FROM_WIN32(error));
    credential.certificate = certificateDer;
  }
  SecureZeroMemory(rsaKey.data(), rsaKey.size());
  return outcome;
}

}  // namespace corvisk
