#pragma once
// Requests of one send to a cloud mail service: the send's time-outs, the
// waits that 429 and 503 ask for, and a bearer token renewed once after a
// 401. Each service supplies its token.
#include <windows.h>

#include <string>

#include "cloudmail/CloudOutcome.h"
#include "cloudmail/HttpsClient.h"

namespace corvisk {

// Whether this Windows has winhttp.dll and bcrypt.dll, which the cloud
// transports import late: before Vista the first call into a missing one
// would raise instead of failing.
bool CloudLibrariesPresent();

class CloudClient {
 public:
  // unaskedWaits: a 429 or 503 without Retry-After is also waited out, for
  // 1, 2 and 4 seconds, as services that document backing off expect.
  CloudClient(int timeoutSeconds, bool unaskedWaits);
  virtual ~CloudClient() = default;

  int TimeoutSeconds() const { return timeoutSeconds_; }
  // A request to url ("https://..."), with the send's time-outs.
  HttpsRequest NewRequest(const wchar_t* method, const std::string& url, const char* contentType) const;

  // Sends the request; a 429 or 503 is sent again after the wait it asks
  // for, at most three times and only within the send's time-out. Any
  // answer is success here; only no answer is a failure.
  CloudOutcome Send(const HttpsRequest& request, HttpsResponse& response);
  // The same with the service's token, renewed once after a 401.
  CloudOutcome SendAuthorized(HttpsRequest request, HttpsResponse& response);

 protected:
  // The token to send; rejected is one the service has just refused.
  virtual CloudOutcome Token(const std::string& rejected, std::string& token) = 0;

 private:
  bool WaitIfAsked(const HttpsResponse& response, int& waits) const;

  int timeoutSeconds_;
  bool unaskedWaits_;
  ULONGLONG deadline_;
};

}  // namespace corvisk
