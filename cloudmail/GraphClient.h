#pragma once
// Requests of one send to Microsoft's token endpoint and to Microsoft Graph:
// the process's shared token, its renewal after a 401, and the waits that
// 429 and 503 ask for, within the send's time-out.
#include <windows.h>

#include <string>

#include "cloudmail/HttpsClient.h"
#include "cloudmail/M365Settings.h"

namespace corvisk {

// HRESULT and the administrator's text; S_OK and empty on success.
struct CloudOutcome {
  HRESULT result = S_OK;
  std::string text;
};

CloudOutcome CloudFailure(std::string text, HRESULT result = E_FAIL);

class GraphClient {
 public:
  GraphClient(const M365Settings& settings, int timeoutSeconds);

  const M365Settings& Settings() const { return settings_; }
  // A request to url ("https://..."), with the send's time-outs.
  HttpsRequest NewRequest(const wchar_t* method, const std::string& url, const char* contentType) const;
  // "https://" and the Graph host, then path.
  std::string GraphUrl(const std::string& path) const;

  // Sends the request; a 429 or 503 with Retry-After is sent again after
  // that wait, at most three times and only within the send's time-out.
  // Any answer is success here; only no answer is a failure.
  CloudOutcome Send(const HttpsRequest& request, HttpsResponse& response);
  // The same with the process's token, renewed once after a 401.
  CloudOutcome SendAuthorized(HttpsRequest request, HttpsResponse& response);

 private:
  bool WaitIfAsked(const HttpsResponse& response, int& waits) const;

  const M365Settings& settings_;
  int timeoutSeconds_;
  ULONGLONG deadline_;
};

// The process's token for these settings: fetched by one send at a time,
// shared by all, renewed five minutes before it expires or when a send
// found it rejected.
CloudOutcome SharedGraphToken(GraphClient& client, const std::string& rejected, std::string& token);

}  // namespace corvisk
