#pragma once
// HTTPS requests through WinHTTP: the machine's proxy setting, Windows' own
// TLS and certificate checks, and every body sent with a Content-Length.
#include <windows.h>

#include <string>

namespace corvisk {

struct HttpsRequest {
  std::wstring method = L"POST";
  std::wstring url;      // https://host[:port]/path?query
  std::wstring headers;  // "Name: value\r\n" lines
  std::string body;
  DWORD connectTimeoutMs = 10000;  // also for the answer, once the body is sent
  DWORD sendTimeoutMs = 120000;    // for each write of the body
};

struct HttpsResponse {
  DWORD status = 0;
  std::string body;
  DWORD retryAfterSeconds = 0;  // 0 when the answer has no Retry-After
};

// Where a request stopped: before WinHTTP could make requests at all, before
// anything reached the server, or after the request may have (so repeating it
// could do twice what it asks for).
enum class RequestStage { NoSession, NotSent, MaybeDelivered };

struct HttpsFailure {
  DWORD error = ERROR_SUCCESS;  // WinHTTP's or the system's error code
  RequestStage stage = RequestStage::NotSent;
};

// ERROR_SUCCESS with the server's answer, whatever its status; otherwise the
// error and how far the request got.
HttpsFailure SendHttpsRequest(const HttpsRequest& request, HttpsResponse& response);

// Form fields for application/x-www-form-urlencoded bodies.
std::string UrlEncoded(const std::string& text);

}  // namespace corvisk
