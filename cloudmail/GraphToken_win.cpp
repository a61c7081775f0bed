#include <nlohmann/json.hpp>

#include "cloudmail/ClientCredential.h"
#include "cloudmail/GraphClient.h"
#include "cloudmail/GraphFailures.h"
#include "win32/CriticalSection.h"

namespace corvisk {
namespace {

// A token is renewed this long before Microsoft says it expires.
constexpr ULONGLONG kRenewAheadMs = 5 * 60 * 1000;

struct CachedToken {
  std::string identity;  // whose token: hosts, tenant, application, credential
  std::string token;
  ULONGLONG expiresAt = 0;  // GetTickCount64
};

// One per process: every send of the fax service shares it.
struct TokenCache {
  CriticalSection lock;
  CachedToken cached;
};

TokenCache& ProcessTokenCache() {
  static TokenCache cache;
  return cache;
}

std::string IdentityOf(const M365Settings& settings) {
  return settings.authorityHost + '\n' + settings.tenantId + '\n' + settings.clientId + '\n' + settings.graphHost +
         '\n' + settings.clientSecretBlob + '\n' + settings.certificate;
}

std::string TokenUrl(const M365Settings& settings) {
  return "https://" + settings.authorityHost + "/" + UrlEncoded(settings.tenantId) + "/oauth2/v2.0/token";
}

// The token and its lifetime from a successful answer.
bool ReadTokenAnswer(const std::string& body, std::string& token, ULONGLONG& lifetimeMs) {
  const nlohmann::json answer = nlohmann::json::parse(body, nullptr, false);
  if (!answer.is_object()) return false;
  const auto accessToken = answer.find("access_token");
  const auto expiresIn = answer.find("expires_in");
  if (accessToken == answer.end() || !accessToken->is_string() || expiresIn == answer.end()) return false;
  // Microsoft has sent the lifetime both as a number and as text.
  const long long seconds = expiresIn->is_number()   ? expiresIn->get<long long>()
                            : expiresIn->is_string() ? std::atoll(expiresIn->get<std::string>().c_str())
                                                     : 0;
  if (seconds <= 0 || accessToken->get<std::string>().empty()) return false;
  token = accessToken->get<std::string>();
  lifetimeMs = static_cast<ULONGLONG>(seconds) * 1000;
  return true;
}

CloudOutcome FetchToken(GraphClient& client, CachedToken& fresh) {
  const M365Settings& settings = client.Settings();
  const std::string url = TokenUrl(settings);
  std::string credential;
  CloudOutcome outcome = ClientCredentialFields(settings, url, credential);
  if (FAILED(outcome.result)) return outcome;
  HttpsRequest request = client.NewRequest(L"POST", url, "application/x-www-form-urlencoded");
  request.body = "client_id=" + UrlEncoded(settings.clientId) +
                 "&scope=" + UrlEncoded("https://" + settings.graphHost + "/.default") +
                 "&grant_type=client_credentials&" + credential;
  SecureZeroMemory(credential.data(), credential.size());
  HttpsResponse response;
  const ULONGLONG sentAt = GetTickCount64();
  outcome = client.Send(request, response);
  SecureZeroMemory(request.body.data(), request.body.size());
  if (FAILED(outcome.result)) return outcome;
  if (response.status != 200) return CloudFailure(TokenFailureText(response.status, response.body));
  ULONGLONG lifetimeMs = 0;
  if (!ReadTokenAnswer(response.body, fresh.token, lifetimeMs))
    return CloudFailure("Microsoft 365 answered the token request with no usable token. Check M365AuthorityHost.");
  fresh.expiresAt = sentAt + lifetimeMs;
  return {};
}

}  // namespace

CloudOutcome SharedGraphToken(GraphClient& client, const std::string& rejected, std::string& token) {
  TokenCache& cache = ProcessTokenCache();
  // Held while fetching, so concurrent sends wait for the one token.
  const CriticalSectionGuard guard(cache.lock);
  const std::string identity = IdentityOf(client.Settings());
  CachedToken& cached = cache.cached;
  const bool usable = cached.identity == identity && !cached.token.empty() && cached.token != rejected &&
                      GetTickCount64() + kRenewAheadMs < cached.expiresAt;
  if (!usable) {
    CachedToken fresh;
    fresh.identity = identity;
    CloudOutcome outcome = FetchToken(client, fresh);
    if (FAILED(outcome.result)) return outcome;
    cached = std::move(fresh);
  }
  token = cached.token;
  return {};
}

}  // namespace corvisk
