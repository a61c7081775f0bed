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

// The access token and its lifetime from an OAuth 2.0 token answer.
bool ReadTokenAnswer(const std::string& body, std::string& token, ULONGLONG& lifetimeMs);

}  // namespace corvisk
