#include "provider/JobLookup.h"

#include "common/TextFormat.h"
#include "servers/QuendrySupp.h"
#include "win32/AnsiText.h"
#include "win32/ComCreate.h"
#include "win32/ExceptionBoundary.h"
#include "win32/SystemMessage.h"

namespace corvisk {

namespace {

constexpr char kUnexpectedText[] = "coclass SuppDetails failed\r\n";

// A returned text counts only when it holds something.
void TakeText(const unique_bstr& text, std::string& target) {
  if (text.length() > 0) target = ToAnsi(text.get(), static_cast<int>(text.length()));
}

HRESULT AskSuppDetails(DWORD deviceId, JobDetails& details) {
  com_ptr<ISuppDetails> server;
  const HRESULT created = CreateRunningObject(CLSID_SuppDetails, IID_ISuppDetails, server.put_void());
  if (FAILED(created)) {
    details.diagnostic = "com error " + FormatText("0x%lx ", static_cast<unsigned long>(created)) + " : " +
                         StandardMessage(created) + "\r\n";
    return created;
  }
  unique_bstr jobId, email, diagnostic;
  const HRESULT result = server->GetJobDetails(deviceId, jobId.put(), email.put(), diagnostic.put());
  TakeText(jobId, details.jobId);
  TakeText(email, details.email);
  TakeText(diagnostic, details.diagnostic);
  return result;
}

}  // namespace

// The server's own HRESULT is the lookup's result; a server that cannot be
// created or lacks the interface gives "com error 0x<code>  : <message>".
HRESULT GetSuppJobDetails(DWORD deviceId, JobDetails& details) noexcept {
  return ReturnHresultWithText(details.diagnostic, kUnexpectedText, [&] {
    details = JobDetails{};
    return AskSuppDetails(deviceId, details);
  });
}

}  // namespace corvisk
