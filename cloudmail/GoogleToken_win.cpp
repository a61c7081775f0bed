#include "cloudmail/GoogleToken.h"

#include <ctime>

#include "cloudmail/GoogleFailures.h"
#include "cloudmail/Jwt.h"
#include "cloudmail/ProtectedData.h"
#include "cloudmail/RsaSignature.h"
#include "cloudmail/TokenCache.h"
#include "common/SecureWipe.h"
#include "common/TextFormat.h"

namespace corvisk {
namespace {

constexpr char kJwtBearerGrant[] = "urn:ietf:params:oauth:grant-type:jwt-bearer";

std::string IdentityOf(const GoogleSettings& settings, const std::string& mailbox) {
  return "google\n" + settings.tokenUri + '\n' + settings.clientEmail + '\n' + settings.privateKeyBlob + '\n' + mailbox;
}

// The stored key, decrypted and decoded for signing.
CloudOutcome SigningKey(const GoogleSettings& settings, std::string& blob) {
  std::string key;
  if (const DWORD error = UnprotectSecret(settings.privateKeyBlob, key)) {
    return CloudFailure(FormatText("The protected Google service account key cannot be decrypted on this machine "
                                   "(error %lu). Import the key file again in the configuration program on this "
                                   "machine.",
                                   error),
                        HRESULT_FROM_WIN32(error));
  }
  const HRESULT decoded = DecodeRsaPrivateKey(key, blob);
  WipeText(key);
  if (FAILED(decoded)) {
    return CloudFailure(
        "The stored Google service account key cannot be read. Import the key file again in the configuration "
        "program.",
        decoded);
  }
  return {};
}

// The signed grant: header.claims.signature.
CloudOutcome SignedGrant(const GoogleSettings& settings, const std::string& mailbox, std::string& grant) {
  std::string blob;
  const CloudOutcome outcome = SigningKey(settings, blob);
  if (FAILED(outcome.result)) return outcome;
  ServiceAccountClaims claims;
  claims.issuer = settings.clientEmail;
  claims.scope = kGmailSendScope;
  claims.audience = settings.tokenUri;
  claims.subject = mailbox;
  claims.now = static_cast<long long>(std::time(nullptr));
  const std::string input = ServiceAccountSigningInput(claims);
  std::string signature;
  const HRESULT result = SignRs256(blob, input, signature);
  WipeText(blob);
  if (FAILED(result)) {
    return CloudFailure(FormatText("The Google service account key cannot sign (0x%08lx). Import the key file "
                                   "again in the configuration program.",
                                   static_cast<unsigned long>(result)),
                        result);
  }
  std::string encoded = EncodeBase64Url(signature);
  WipeText(signature);
  grant = JoinedSecret({input, ".", encoded});
  WipeText(encoded);
  return {};
}

CloudOutcome FetchToken(CloudClient& client, const GoogleSettings& settings, const std::string& mailbox,
                        FetchedToken& fresh) {
  std::string grant;
  CloudOutcome outcome = SignedGrant(settings, mailbox, grant);
  if (FAILED(outcome.result)) return outcome;
  HttpsRequest request = client.NewRequest(L"POST", settings.tokenUri, "application/x-www-form-urlencoded");
  // The signed grant is as good as the key to whoever holds it, until it expires.
  request.body = JoinedSecret({"grant_type=", UrlEncoded(kJwtBearerGrant), "&assertion=", grant});
  WipeText(grant);
  return ExchangeForToken(
      client, request,
      [&mailbox](const HttpsResponse& response) {
        return GoogleTokenFailureText(response.status, response.body, mailbox);
      },
      "Google answered the token request with no usable token. Check GoogleTokenUri.", fresh);
}

}  // namespace

CloudOutcome SharedGoogleToken(CloudClient& client, const GoogleSettings& settings, const std::string& mailbox,
                               const std::string& rejected, std::string& token) {
  return SharedToken(
      IdentityOf(settings, mailbox), rejected,
      [&](FetchedToken& fresh) { return FetchToken(client, settings, mailbox, fresh); }, token);
}

}  // namespace corvisk
