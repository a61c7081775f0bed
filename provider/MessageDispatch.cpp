#include "provider/MessageDispatch.h"

#include "mail/CdoMessage.h"
#include "provider/SuppEmailTransport.h"
#include "win32/AnsiText.h"

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

}  // namespace

HRESULT DispatchFaxMessage(const ProviderSettings& settings, const FaxMessage& message, const std::string& attachment,
                           std::string& errorText) {
  errorText.clear();
  // One transport per send: a failure is never retried through the other.
  if (settings.ntlmAuthentication) return SendThroughSuppEmail(settings, message, attachment, errorText);
  return SendThroughCdo(settings, message, attachment, errorText);
}

}  // namespace corvisk
