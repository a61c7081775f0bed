#pragma once
// Mail transport: one e-mail submitted through CDO for Windows 2000 with an
// SMTP configuration given entirely by the caller.
#include <windows.h>

#include <string>

namespace corvisk {

HRESULT SendCDOMessage(const char* userName, const char* password, const char* server, const char* to, const char* from,
                       const char* subject, const char* body, const wchar_t* attachment, const char* headerName,
                       const char* headerValue, bool notifyOnSuccess, bool notifyOnFailure, bool notifyOnDelay,
                       LONG port, LONG timeoutSeconds, bool ntlm, bool usePickup, std::string& errorText, bool useSsl);

HRESULT SendCDOMessageNoHeader(const char* userName, const char* password, const char* server, const char* to,
                               const char* from, const char* subject, const char* body, const wchar_t* attachment,
                               bool notifyOnSuccess, bool notifyOnFailure, bool notifyOnDelay, LONG port,
                               LONG timeoutSeconds, bool ntlm, bool usePickup, std::string& errorText, bool useSsl);

}  // namespace corvisk
