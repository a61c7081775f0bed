#include <windows.h>
#include <winhttp.h>

#include <cctype>

#include "cloudmail/HttpsClient.h"
#include "win32/CriticalSection.h"
#include "win32/Handles.h"

namespace corvisk {
namespace {

struct WinHttpCloseFn {
  void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using unique_hinternet = unique_any<HINTERNET, nullptr, WinHttpCloseFn>;

// Older Windows knows no TLS 1.3 flag and refuses the option with it.
#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

// Windows 7 offers only TLS 1.0 unless asked: Microsoft's services need 1.2.
void RequireModernTls(HINTERNET session) {
  DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
  if (WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) return;
  protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
  WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
}

// One session for the process: its connections and TLS sessions are kept
// alive and shared by every send. It lives as long as the process; closing
// it while the DLL unloads, under the loader lock, could wait on WinHTTP's
// own threads. A failed open is not kept: the next request tries again.
struct ProcessSession {
  CriticalSection lock;
  HINTERNET handle = nullptr;
};

DWORD OpenProcessSession(HINTERNET& session) {
  static ProcessSession process;
  const CriticalSectionGuard guard(process.lock);
  if (!process.handle) {
    process.handle = WinHttpOpen(L"CorviskFSP", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0);
    if (!process.handle) {
      const DWORD error = GetLastError();
      return error ? error : ERROR_WINHTTP_INTERNAL_ERROR;
    }
    RequireModernTls(process.handle);
  }
  session = process.handle;
  return ERROR_SUCCESS;
}

struct UrlParts {
  std::wstring host;
  std::wstring pathAndQuery;
  INTERNET_PORT port = INTERNET_DEFAULT_HTTPS_PORT;
};

DWORD CrackUrl(const std::wstring& url, UrlParts& parts) {
  URL_COMPONENTS components = {};
  components.dwStructSize = sizeof components;
  components.dwHostNameLength = static_cast<DWORD>(-1);
  components.dwUrlPathLength = static_cast<DWORD>(-1);
  components.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &components)) return GetLastError();
  // Tokens and mail never travel without TLS.
  if (components.nScheme != INTERNET_SCHEME_HTTPS) return ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
  parts.host.assign(components.lpszHostName, components.dwHostNameLength);
  parts.pathAndQuery.assign(components.lpszUrlPath, components.dwUrlPathLength);
  parts.pathAndQuery.append(components.lpszExtraInfo, components.dwExtraInfoLength);
  parts.port = components.nPort;
  return ERROR_SUCCESS;
}

DWORD QueryNumber(HINTERNET request, DWORD query) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (!WinHttpQueryHeaders(request, query | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX, &value, &size,
                           WINHTTP_NO_HEADER_INDEX))
    return 0;
  return value;
}

DWORD ReadBody(HINTERNET request, std::string& body) {
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) return GetLastError();
    if (available == 0) return ERROR_SUCCESS;
    const size_t at = body.size();
    body.resize(at + available);
    DWORD got = 0;
    if (!WinHttpReadData(request, body.data() + at, available, &got)) return GetLastError();
    body.resize(at + got);
  }
}

HttpsFailure Exchange(HINTERNET request, const HttpsRequest& what, HttpsResponse& response) {
  void* body = what.body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(what.body.data());
  const DWORD size = static_cast<DWORD>(what.body.size());
  const wchar_t* headers = what.headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : what.headers.c_str();
  // The whole body goes with the request and its length: never chunked.
  if (!WinHttpSendRequest(request, headers, static_cast<DWORD>(-1L), body, size, size, 0)) {
    const DWORD error = GetLastError();
    // Until the connection stands, nothing has been sent.
    const bool connecting = error == ERROR_WINHTTP_CANNOT_CONNECT || error == ERROR_WINHTTP_NAME_NOT_RESOLVED ||
                            error == ERROR_WINHTTP_SECURE_FAILURE;
    return {error, connecting ? RequestStage::NotSent : RequestStage::MaybeDelivered};
  }
  if (!WinHttpReceiveResponse(request, nullptr)) return {GetLastError(), RequestStage::MaybeDelivered};
  response.status = QueryNumber(request, WINHTTP_QUERY_STATUS_CODE);
  response.retryAfterSeconds = QueryNumber(request, WINHTTP_QUERY_RETRY_AFTER);
  const DWORD error = ReadBody(request, response.body);
  return {error, RequestStage::MaybeDelivered};
}

}  // namespace

HttpsFailure SendHttpsRequest(const HttpsRequest& what, HttpsResponse& response) {
  response = HttpsResponse();
  UrlParts url;
  if (const DWORD error = CrackUrl(what.url, url)) return {error, RequestStage::NotSent};
  HINTERNET session = nullptr;
  if (const DWORD error = OpenProcessSession(session)) return {error, RequestStage::NoSession};
  const unique_hinternet connection(WinHttpConnect(session, url.host.c_str(), url.port, 0));
  if (!connection) return {GetLastError(), RequestStage::NotSent};
  const unique_hinternet request(WinHttpOpenRequest(connection.get(), what.method.c_str(), url.pathAndQuery.c_str(),
                                                    nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                    WINHTTP_FLAG_SECURE));
  if (!request) return {GetLastError(), RequestStage::NotSent};
  const int connect = static_cast<int>(what.connectTimeoutMs);
  WinHttpSetTimeouts(request.get(), connect, connect, static_cast<int>(what.sendTimeoutMs), connect);
  HttpsFailure failure = Exchange(request.get(), what, response);
  if (failure.error == ERROR_SUCCESS) failure.stage = RequestStage::MaybeDelivered;
  return failure;
}

// A secret may be encoded: the room is made once, so no growth leaves a
// copy of it behind.
std::string UrlEncoded(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size() * 3);
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (isalnum(byte) || c == '-' || c == '_' || c == '.' || c == '~') {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    }
  }
  return encoded;
}

}  // namespace corvisk
