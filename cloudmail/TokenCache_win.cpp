#include "cloudmail/TokenCache.h"

#include <map>
#include <nlohmann/json.hpp>

#include "cloudmail/CloudClient.h"
#include "common/SecureWipe.h"
#include "win32/CriticalSection.h"

namespace corvisk {
namespace {

// A token is renewed this long before the service says it expires.
constexpr ULONGLONG kRenewAheadMs = 5 * 60 * 1000;

// One per process: every send of the fax service shares it.
struct TokenCache {
  CriticalSection lock;
  std::map<std::string, FetchedToken> tokens;  // by identity
};

TokenCache& ProcessTokenCache() {
  static TokenCache cache;
  return cache;
}

}  // namespace

CloudOutcome SharedToken(const std::string& identity, const std::string& rejected, const TokenFetch& fetch,
                         std::string& token) {
  TokenCache& cache = ProcessTokenCache();
  // Held while fetching, so concurrent sends wait for the one token.
  const CriticalSectionGuard guard(cache.lock);
  FetchedToken& cached = cache.tokens[identity];
  const bool usable =
      !cached.token.empty() && cached.token != rejected && GetTickCount64() + kRenewAheadMs < cached.expiresAt;
  if (!usable) {
    FetchedToken fresh;
    CloudOutcome outcome = fetch(fresh);
    if (FAILED(outcome.result)) return outcome;
    cached = std::move(fresh);
  }
  token = cached.token;
  return {};
}

namespace {

// The access token and its lifetime from an OAuth 2.0 token answer.
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

}  // namespace

CloudOutcome ExchangeForToken(CloudClient& client, HttpsRequest& request,
                              const std::function<std::string(const HttpsResponse&)>& refusal, const char* noToken,
                              FetchedToken& fresh) {
  HttpsResponse response;
  const ULONGLONG sentAt = GetTickCount64();
  const CloudOutcome outcome = client.Send(request, response);
  WipeText(request.body);
  if (FAILED(outcome.result)) return outcome;
  if (response.status != 200) return CloudFailure(refusal(response));
  ULONGLONG lifetimeMs = 0;
  if (!ReadTokenAnswer(response.body, fresh.token, lifetimeMs)) return CloudFailure(noToken);
  fresh.expiresAt = sentAt + lifetimeMs;
  return {};
}

}  // namespace corvisk
