#include "config/TestMailTransport.h"

#include "common/Product.h"
#include "common/TextFormat.h"
#include "mail/CdoMessage.h"
#include "servers/QuendrySupp.h"
#include "settings/Settings.h"
#include "win32/AnsiText.h"
#include "win32/ComCreate.h"
#include "win32/ExceptionBoundary.h"
#include "win32/SystemMessage.h"

namespace corvisk {

namespace {

constexpr char kSubject[] = CORVISK_PRODUCT_NAME " Mail Configuration Test";
constexpr char kCdoBody[] = "Thank you for using " CORVISK_MESSAGE_CAPTION;
// The NTLM server sends an empty body.
constexpr char kSuppEmailBody[] = "";
constexpr char kSuppEmailUnexpectedText[] = "coclass SuppEmail failed";
constexpr char kEscapedExceptionText[] = " failed to send email\n";

VARIANT_BOOL ToVariantBool(bool flag) { return flag ? VARIANT_TRUE : VARIANT_FALSE; }

// No delivery notifications, no NTLM: the server path is the NTLM one.
HRESULT SubmitThroughCdo(const TestMailRequest& request, std::string& errorText) {
  return SendCDOMessageNoHeader(request.account.c_str(), request.password.c_str(), request.server.c_str(),
                                request.address.c_str(), request.address.c_str(), kSubject, kCdoBody, nullptr, false,
                                false, false, request.port, request.timeoutSeconds, false,
                                IsLocalPickup(request.server), errorText, request.ssl);
}

// A COM error of the server path: its HRESULT, told by the standard message.
HRESULT ReportComError(HRESULT result, std::string& errorText) {
  errorText = StandardMessage(result);
  return result;
}

// The server's own text when it gave one; otherwise a failure is told by
// its code alone.
HRESULT CallSendMail(const TestMailRequest& request, std::string& errorText) {
  com_ptr<ISuppEmail> mail;
  const HRESULT created = CreateRunningObject(CLSID_SuppEmail, IID_ISuppEmail, mail.put_void());
  if (FAILED(created)) return ReportComError(created, errorText);
  const unique_bstr server = ToBstr(request.server), recipient = ToBstr(request.address),
                    sender = ToBstr(request.address), subject = ToBstr(kSubject), body = ToBstr(kSuppEmailBody);
  if (!server || !recipient || !sender || !subject || !body) return ReportComError(E_OUTOFMEMORY, errorText);
  unique_bstr error;
  const HRESULT result =
      mail->SendMail(server.get(), request.port, request.timeoutSeconds, recipient.get(), sender.get(), subject.get(),
                     body.get(), 0, 0, 0, ToVariantBool(request.ntlm), ToVariantBool(request.ssl),
                     ToVariantBool(IsLocalPickup(request.server)), error.put());
  if (error.length() > 0) {
    errorText = ToAnsi(error.get(), static_cast<int>(error.length()));
  } else if (FAILED(result)) {
    errorText = FormatText("0x%lx ", static_cast<unsigned long>(result));
  }
  return result;
}

HRESULT SubmitThroughSuppEmail(const TestMailRequest& request, std::string& errorText) {
  return ReturnHresultWithText(errorText, kSuppEmailUnexpectedText, [&] { return CallSendMail(request, errorText); });
}

}  // namespace

HRESULT SubmitTestMail(const TestMailRequest& request, TestMailTransport transport, std::string& errorText) noexcept {
  return ReturnHresultAppendingText(errorText, kEscapedExceptionText, [&] {
    errorText.clear();
    return transport == TestMailTransport::SuppEmail ? SubmitThroughSuppEmail(request, errorText)
                                                     : SubmitThroughCdo(request, errorText);
  });
}

}  // namespace corvisk
