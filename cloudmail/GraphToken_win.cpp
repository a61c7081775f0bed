#include "cloudmail/ClientCredential.h"
#include "cloudmail/GraphClient.h"
#include "cloudmail/GraphFailures.h"
#include "cloudmail/TokenCache.h"
#include "common/SecureWipe.h"

namespace corvisk {
namespace {

std::string IdentityOf(const M365Settings& settings) {
  return settings.authorityHost + '\n' + settings.tenantId + '\n' + settings.clientId + '\n' + settings.graphHost +
         '\n' + settings.clientSecretBlob + '\n' + settings.certificate;
}

std::string TokenUrl(const M365Settings& settings) {
  return "https://" + settings.authorityHost + "/" + UrlEncoded(settings.tenantId) + "/oauth2/v2.0/token";
}

CloudOutcome FetchToken(GraphClient& client, FetchedToken& fresh) {
  const M365Settings& settings = client.Settings();
  const std::string url = TokenUrl(settings);
  std::string credential;
  CloudOutcome outcome = ClientCredentialFields(settings, url, credential);
  if (FAILED(outcome.result)) return outcome;
  HttpsRequest request = client.NewRequest(L"POST", url, "application/x-www-form-urlencoded");
  request.body = JoinedSecret({"client_id=", UrlEncoded(settings.clientId),
                               "&scope=", UrlEncoded("https://" + settings.graphHost + "/.default"),
                               "&grant_type=client_credentials&", credential});
  WipeText(credential);
  return ExchangeForToken(
      client, request, [](const HttpsResponse& response) { return TokenFailureText(response.status, response.body); },
      "Microsoft 365 answered the token request with no usable token. Check M365AuthorityHost.", fresh);
}

}  // namespace

CloudOutcome SharedGraphToken(GraphClient& client, const std::string& rejected, std::string& token) {
  return SharedToken(
      IdentityOf(client.Settings()), rejected, [&client](FetchedToken& fresh) { return FetchToken(client, fresh); },
      token);
}

}  // namespace corvisk
