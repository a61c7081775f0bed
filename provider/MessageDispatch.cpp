#include "provider/MessageDispatch.h"

#include "cloudmail/GmailMail.h"
#include "cloudmail/GraphMail.h"
#include "cloudmail/M365Settings.h"
#include "mail/CdoMessage.h"
#include "provider/SuppEmailTransport.h"
#include "win32/AnsiText.h"
#include "win32/GuidText.h"
#include "win32/SystemMessage.h"

namespace corvisk {
namespace {

// CDO with the configured account, or anonymous when no account name is set.
HRESULT SendThroughCdo(const ProviderSettings& settings, const FaxMessage& message, const std::string& attachment,
                       std::string& errorText) {
  const std::wstring attachmentPath = ToWide(attachment);
  return SendCDOMessage(settings.smtpUserName.c_str(), settings.smtpPassword.c_str(), settings.smtpServer.c_str(),
                        message.recipient.c_str(), message.sender.c_str(), message.subject.c_str(), "",
                        attachmentPath.c_str(), kPasswordHeaderName, settings.gatewayPassword.c_str(), false, false,
                        false, settings.smtpPort, settings.smtpTimeout, false, IsLocalPickup(settings.smtpServer),
                        errorText, settings.useSsl);
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The message CDO would send, with its texts in UTF-8.
CloudOutcome CloudFaxFor(const ProviderSettings& settings, const FaxMessage& message, const std::string& attachment,
                         CloudFax& fax) {
  std::string id;
  if (const HRESULT result = NewGuidText(id); FAILED(result))
    return CloudFailure("No unique message ID could be made for the fax: " + StandardMessage(result), result);
  fax.fields = {ToUtf8(ToWide(message.recipient)),
                ToUtf8(ToWide(message.sender)),
                ToUtf8(ToWide(message.subject)),
                ToUtf8(ToWide(settings.gatewayPassword)),
                CurrentMailDate(),
                id + "@corviskfsp"};
  fax.attachmentName = ToUtf8(ToWide(FileNameOf(attachment)));
  fax.attachmentPath = ToWide(attachment);
  fax.timeoutSeconds = settings.smtpTimeout;
  return {};
}

// Reads the cloud's own settings, composes the fax and sends it; the two
// clouds differ only in their settings, their sender and their name.
template <typename CloudSettings>
HRESULT SendThroughCloud(const char* cloud, LONG (*read)(CloudSettings&),
                         CloudOutcome (*send)(const CloudSettings&, const CloudFax&), const ProviderSettings& settings,
                         const FaxMessage& message, const std::string& attachment, std::string& errorText) {
  CloudSettings cloudSettings;
  if (const LONG error = read(cloudSettings)) {
    errorText =
        std::string("The ") + cloud + " settings could not be read: " + StandardMessage(HRESULT_FROM_WIN32(error));
    return HRESULT_FROM_WIN32(error);
  }
  CloudFax fax;
  CloudOutcome outcome = CloudFaxFor(settings, message, attachment, fax);
  if (SUCCEEDED(outcome.result)) outcome = send(cloudSettings, fax);
  errorText = outcome.text;
  return outcome.result;
}

bool IsTransport(const std::string& setting, const char* name) { return lstrcmpiA(setting.c_str(), name) == 0; }

}  // namespace

HRESULT DispatchFaxMessage(const ProviderSettings& settings, const FaxMessage& message, const std::string& attachment,
                           std::string& errorText) {
  errorText.clear();
  // One transport per send: a failure is never retried through the other.
  if (IsTransport(settings.mailTransport, kMicrosoft365Transport))
    return SendThroughCloud("Microsoft 365", ReadM365Settings, SendFaxThroughGraph, settings, message, attachment,
                            errorText);
  if (IsTransport(settings.mailTransport, kGoogleTransport))
    return SendThroughCloud("Google Workspace", ReadGoogleSettings, SendFaxThroughGmail, settings, message, attachment,
                            errorText);
  if (!settings.mailTransport.empty() && !IsTransport(settings.mailTransport, "SMTP")) {
    errorText = "The setting MailTransport names no known transport (\"" + settings.mailTransport +
                "\"). Set it to SMTP, Microsoft365 or Google.";
    return E_INVALIDARG;
  }
  if (settings.ntlmAuthentication) return SendThroughSuppEmail(settings, message, attachment, errorText);
  return SendThroughCdo(settings, message, attachment, errorText);
}

}  // namespace corvisk
