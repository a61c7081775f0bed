#include "cloudmail/ClientCredential.h"

#include <ctime>

#include "cloudmail/HttpsClient.h"
#include "cloudmail/Jwt.h"
#include "cloudmail/ProtectedData.h"
#include "cloudmail/RsaSignature.h"
#include "common/SecureWipe.h"
#include "common/TextFormat.h"
#include "win32/AnsiText.h"
#include "win32/CryptoHandles.h"
#include "win32/GuidText.h"
#include "win32/SystemMessage.h"

namespace corvisk {
namespace {

CloudOutcome UndecryptableFailure(DWORD error, const char* what) {
  return CloudFailure(FormatText("The protected Microsoft 365 %s cannot be decrypted on this machine (error %lu). "
                                 "Enter or import it again in the configuration program on this machine.",
                                 what, error),
                      HRESULT_FROM_WIN32(error));
}

std::string ExpiryDate(const FILETIME& notAfter) {
  SYSTEMTIME time = {};
  FileTimeToSystemTime(&notAfter, &time);
  return FormatText("%04u-%02u-%02u", time.wYear, time.wMonth, time.wDay);
}

std::string Thumbprint(PCCERT_CONTEXT certificate) {
  BYTE hash[20];
  DWORD size = sizeof hash;
  if (!CertGetCertificateContextProperty(certificate, CERT_SHA1_HASH_PROP_ID, hash, &size)) return {};
  return std::string(reinterpret_cast<const char*>(hash), size);
}

CloudOutcome OpenCertificate(const std::string& der, unique_cert_context& certificate) {
  certificate.reset(CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                                 static_cast<DWORD>(der.size())));
  if (!certificate) {
    return CloudFailure(
        "The Microsoft 365 certificate in M365Certificate cannot be read. Import the certificate "
        "again in the configuration program.");
  }
  if (CertVerifyTimeValidity(nullptr, certificate.get()->pCertInfo) > 0) {
    return CloudFailure("The Microsoft 365 certificate expired on " +
                        ExpiryDate(certificate.get()->pCertInfo->NotAfter) +
                        ". Make or import a new one in the configuration program and upload its .cer file to the "
                        "application registration.");
  }
  return {};
}

CloudOutcome AssertionFields(const M365Settings& settings, const std::string& tokenUrl, std::string& fields) {
  unique_cert_context certificate;
  CloudOutcome outcome = OpenCertificate(settings.certificate, certificate);
  if (FAILED(outcome.result)) return outcome;
  AssertionClaims claims;
  if (const HRESULT result = NewGuidText(claims.id); FAILED(result))
    return CloudFailure("No unique ID could be made for the Microsoft 365 client assertion: " + StandardMessage(result),
                        result);
  std::string key;
  if (const DWORD error = UnprotectSecret(settings.certificateKeyBlob, key))
    return UndecryptableFailure(error, "certificate key");
  claims.thumbprint = Thumbprint(certificate.get());
  claims.audience = tokenUrl;
  claims.clientId = settings.clientId;
  claims.now = static_cast<long long>(std::time(nullptr));
  const std::string input = AssertionSigningInput(claims);
  std::string signature;
  const HRESULT result = SignRs256(key, input, signature);
  WipeText(key);
  if (FAILED(result)) {
    return CloudFailure(FormatText("The Microsoft 365 certificate key cannot sign (0x%08lx). Import the certificate "
                                   "and its key again in the configuration program.",
                                   static_cast<unsigned long>(result)),
                        result);
  }
  std::string encoded = EncodeBase64Url(signature);
  WipeText(signature);
  fields = JoinedSecret({"client_assertion_type=", UrlEncoded("urn:ietf:params:oauth:client-assertion-type:jwt-bearer"),
                         "&client_assertion=", input, ".", encoded});
  WipeText(encoded);
  return {};
}

CloudOutcome SecretFields(const M365Settings& settings, std::string& fields) {
  std::string secret;
  if (const DWORD error = UnprotectSecret(settings.clientSecretBlob, secret))
    return UndecryptableFailure(error, "client secret");
  std::string encoded = UrlEncoded(secret);
  WipeText(secret);
  fields = JoinedSecret({"client_secret=", encoded});
  WipeText(encoded);
  return {};
}

}  // namespace

// The certificate wins when both are stored: secrets expire unannounced.
CloudOutcome ClientCredentialFields(const M365Settings& settings, const std::string& tokenUrl, std::string& fields) {
  if (!settings.certificate.empty()) return AssertionFields(settings, tokenUrl, fields);
  if (!settings.clientSecretBlob.empty()) return SecretFields(settings, fields);
  return CloudFailure(
      "Microsoft 365 is the mail transport but no credential is stored. Import a certificate or "
      "enter a client secret in the configuration program.");
}

}  // namespace corvisk
