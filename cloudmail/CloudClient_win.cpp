#include "cloudmail/CloudClient.h"

#include <algorithm>

#include "cloudmail/GraphFailures.h"
#include "common/TextFormat.h"
#include "win32/AnsiText.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"

namespace corvisk {
namespace {

constexpr int kMaxWaits = 3;
// Bodies of up to a few megabytes go out within one send time-out.
constexpr int kMinSendSeconds = 120;

std::string HostOf(const std::wstring& url) {
  const size_t start = url.find(L"://");
  const size_t from = start == std::wstring::npos ? 0 : start + 3;
  return ToAnsi(url.substr(from, url.find(L'/', from) - from));
}

// The connection failed, or WinHTTP could not even start a session, which
// has no host to name: its cause is the system's.
CloudOutcome RequestFailure(const HttpsFailure& failure, const std::wstring& url, int timeoutSeconds) {
  const HRESULT result = HRESULT_FROM_WIN32(failure.error);
  if (failure.stage != RequestStage::NoSession)
    return CloudFailure(ConnectionFailureText(failure.error, HostOf(url), timeoutSeconds), result);
  return CloudFailure(FormatText("WinHTTP could not be started for the cloud transport; the next fax tries again, and "
                                 "if this lasts, restart the fax service. Error %lu: %s",
                                 failure.error, StandardMessage(result).c_str()),
                      result);
}

bool SystemLibraryPresent(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = L"";
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const unique_hmodule module(LoadLibraryW((std::wstring(folder) + L"\\" + name).c_str()));
  return static_cast<bool>(module);
}

}  // namespace

bool CloudLibrariesPresent() { return SystemLibraryPresent(L"winhttp.dll") && SystemLibraryPresent(L"bcrypt.dll"); }

CloudClient::CloudClient(int timeoutSeconds, bool unaskedWaits)
    : timeoutSeconds_(std::max(timeoutSeconds, 1)),
      unaskedWaits_(unaskedWaits),
      deadline_(GetTickCount64() + static_cast<ULONGLONG>(timeoutSeconds_) * 1000) {}

HttpsRequest CloudClient::NewRequest(const wchar_t* method, const std::string& url, const char* contentType) const {
  HttpsRequest request;
  request.method = method;
  request.url = ToWide(url);
  if (contentType) request.headers = L"Content-Type: " + ToWide(contentType) + L"\r\n";
  request.connectTimeoutMs = static_cast<DWORD>(timeoutSeconds_) * 1000;
  request.sendTimeoutMs = static_cast<DWORD>(std::max(timeoutSeconds_, kMinSendSeconds)) * 1000;
  return request;
}

// Waits as long as the service asked, if that still ends within the send's
// time-out.
bool CloudClient::WaitIfAsked(const HttpsResponse& response, int& waits) const {
  if (response.status != 429 && response.status != 503) return false;
  DWORD seconds = response.retryAfterSeconds;
  if (seconds == 0 && unaskedWaits_) seconds = 1u << waits;
  if (seconds == 0 || waits >= kMaxWaits) return false;
  const ULONGLONG wait = static_cast<ULONGLONG>(seconds) * 1000;
  if (GetTickCount64() + wait > deadline_) return false;
  ++waits;
  Sleep(static_cast<DWORD>(wait));
  return true;
}

CloudOutcome CloudClient::Send(const HttpsRequest& request, HttpsResponse& response) {
  int waits = 0;
  for (;;) {
    const HttpsFailure failure = SendHttpsRequest(request, response);
    if (failure.error != ERROR_SUCCESS) return RequestFailure(failure, request.url, timeoutSeconds_);
    // A 429 or 503 says the request was not carried out: sending it again
    // cannot deliver a fax twice.
    if (!WaitIfAsked(response, waits)) return {};
  }
}

CloudOutcome CloudClient::SendAuthorized(HttpsRequest request, HttpsResponse& response) {
  const std::wstring headers = request.headers;
  std::string token;
  for (int attempt = 0;; ++attempt) {
    const std::string rejected = token;
    CloudOutcome outcome = Token(rejected, token);
    if (FAILED(outcome.result)) return outcome;
    request.headers = headers + L"Authorization: Bearer " + ToWide(token) + L"\r\n";
    outcome = Send(request, response);
    if (FAILED(outcome.result) || response.status != 401 || attempt == 1) return outcome;
  }
}

}  // namespace corvisk
