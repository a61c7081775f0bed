#include "provider/SuppEmailTransport.h"

#include "servers/QuendrySupp.h"
#include "win32/AnsiText.h"
#include "win32/ComCreate.h"
#include "win32/ExceptionBoundary.h"
#include "win32/SystemMessage.h"

namespace corvisk {

namespace {

constexpr char kUnexpectedText[] = "coclass SuppEmail failed";

VARIANT_BOOL ToVariantBool(bool flag) { return flag ? VARIANT_TRUE : VARIANT_FALSE; }

// The texts of the call, converted in the order the call takes them.
struct FaxMailTexts {
  unique_bstr server, recipient, sender, subject, attachment, headerName, headerValue;

  bool Complete() const { return server && recipient && sender && subject && attachment && headerName && headerValue; }
};

FaxMailTexts ConvertTexts(const ProviderSettings& settings, const FaxMessage& message, const std::string& attachment) {
  FaxMailTexts texts;
  texts.server = ToBstr(settings.smtpServer);
  texts.recipient = ToBstr(message.recipient);
  texts.sender = ToBstr(message.sender);
  texts.subject = ToBstr(message.subject);
  texts.attachment = ToBstr(attachment);
  texts.headerName = ToBstr(kPasswordHeaderName);
  texts.headerValue = ToBstr(settings.gatewayPassword);
  return texts;
}

// A failure to reach the server, or to make the call's texts, gives the
// standard message for its HRESULT.
HRESULT ReportComError(HRESULT result, std::string& errorText) {
  errorText = StandardMessage(result);
  return result;
}

// The server's own failure text is passed on as it is; without one the
// text stays empty.
HRESULT SendFaxMail(const ProviderSettings& settings, const FaxMessage& message, const std::string& attachment,
                    std::string& errorText) {
  com_ptr<ISuppEmail> server;
  const HRESULT created = CreateRunningObject(CLSID_SuppEmail, IID_ISuppEmail, server.put_void());
  if (FAILED(created)) return ReportComError(created, errorText);
  const FaxMailTexts texts = ConvertTexts(settings, message, attachment);
  if (!texts.Complete()) return ReportComError(E_OUTOFMEMORY, errorText);
  unique_bstr error;
  // No delivery notifications; NTLM always.
  const HRESULT result = server->SendFaxMail(
      texts.server.get(), settings.smtpPort, settings.smtpTimeout, texts.recipient.get(), texts.sender.get(),
      texts.subject.get(), texts.attachment.get(), texts.headerName.get(), texts.headerValue.get(), 0, 0, 0,
      VARIANT_TRUE, ToVariantBool(settings.useSsl), ToVariantBool(IsLocalPickup(settings.smtpServer)), error.put());
  if (error.length() > 0) errorText = ToAnsi(error.get(), static_cast<int>(error.length()));
  return result;
}

}  // namespace

HRESULT SendThroughSuppEmail(const ProviderSettings& settings, const FaxMessage& message, const std::string& attachment,
                             std::string& errorText) noexcept {
  return ReturnHresultWithText(errorText, kUnexpectedText, [&] {
    errorText.clear();
    return SendFaxMail(settings, message, attachment, errorText);
  });
}

}  // namespace corvisk
