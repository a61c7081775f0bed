#pragma once
// Access tokens shared by every send of the process, one per identity (the
// service's hosts, the account, its credential and, for Google, the mailbox):
// fetched by one send at a time, renewed five minutes before they expire or
// when a send found one rejected.
#include <windows.h>

#include <functional>
#include <string>

#include "cloudmail/CloudOutcome.h"

namespace corvisk {

struct FetchedToken {
  std::string token;
  ULONGLONG expiresAt = 0;  // GetTickCount64
};

using TokenFetch = std::function<CloudOutcome(FetchedToken& fresh)>;

CloudOutcome SharedToken(const std::string& identity, const std::string& rejected, const TokenFetch& fetch,
                         std::string& token);

class CloudClient;
struct HttpsRequest;
struct HttpsResponse;

// Sends an OAuth 2.0 token request and keeps the answer's token and expiry.
// The request's body, which carries the credential, is wiped once sent. An
// answer other than 200 fails with refusal's text; one without a usable
// token with noToken.
CloudOutcome ExchangeForToken(CloudClient& client, HttpsRequest& request,
                              const std::function<std::string(const HttpsResponse&)>& refusal, const char* noToken,
                              FetchedToken& fresh);

}  // namespace corvisk
