#include "cloudmail/GmailMail.h"

#include "cloudmail/CloudClient.h"
#include "cloudmail/GoogleFailures.h"
#include "cloudmail/GoogleToken.h"

namespace corvisk {
namespace {

// Google asks clients to back off on 429 and 503 even when it names no wait.
class GmailClient : public CloudClient {
 public:
  GmailClient(const GoogleSettings& settings, const std::string& mailbox, int timeoutSeconds)
      : CloudClient(timeoutSeconds, true), settings_(settings), mailbox_(mailbox) {}

 protected:
  CloudOutcome Token(const std::string& rejected, std::string& token) override {
    return SharedGoogleToken(*this, settings_, mailbox_, rejected, token);
  }

 private:
  const GoogleSettings& settings_;
  const std::string& mailbox_;
};

CloudOutcome CheckSettings(const GoogleSettings& settings) {
  if (!CloudLibrariesPresent())
    return CloudFailure(
        "Google Workspace as the mail transport needs Windows Vista or later (winhttp.dll and bcrypt.dll).");
  if (settings.clientEmail.empty() || settings.privateKeyBlob.empty()) {
    return CloudFailure(
        "Google Workspace is the mail transport but no service account key is imported. Import the key file in "
        "the configuration program.");
  }
  return {};
}

// Refused before any request: the whole message would be uploaded in vain.
CloudOutcome CheckSize(const CloudFax& fax) {
  unsigned long long document = 0;
  const CloudOutcome outcome = ReadDocumentSize(fax, document);
  if (FAILED(outcome.result)) return outcome;
  if (document > kGmailMessageLimit) return CloudFailure(GmailTooLargeText(document));
  const size_t size = MimeMessageSize(CloudFaxContent(fax), CloudFaxBoundary(fax), {static_cast<size_t>(document)});
  return size > kGmailMessageLimit ? CloudFailure(GmailTooLargeText(size)) : CloudOutcome{};
}

std::string SendUrl(const GoogleSettings& settings, const std::string& mailbox) {
  return "https://" + settings.apiHost + "/upload/gmail/v1/users/" + UrlEncoded(mailbox) +
         "/messages/send?uploadType=media";
}

// Sends with settings already checked.
CloudOutcome SendCheckedMime(const GoogleSettings& settings, const std::string& mailbox, std::string mime,
                             int timeoutSeconds) {
  GmailClient client(settings, mailbox, timeoutSeconds);
  HttpsRequest request = client.NewRequest(L"POST", SendUrl(settings, mailbox), "message/rfc822");
  request.body = std::move(mime);
  HttpsResponse response;
  const CloudOutcome outcome = client.SendAuthorized(std::move(request), response);
  if (FAILED(outcome.result) || response.status == 200) return outcome;
  return CloudFailure(GmailFailureText(response.status, response.body, mailbox));
}

}  // namespace

CloudOutcome SendFaxThroughGmail(const GoogleSettings& settings, const CloudFax& fax) {
  CloudOutcome outcome = CheckSettings(settings);
  if (SUCCEEDED(outcome.result)) outcome = CheckSize(fax);
  std::string mime;
  if (SUCCEEDED(outcome.result)) outcome = ComposeCloudFax(fax, mime);
  if (FAILED(outcome.result)) return outcome;
  const std::string mailbox = settings.mailbox.empty() ? fax.fields.sender : settings.mailbox;
  return SendCheckedMime(settings, mailbox, std::move(mime), fax.timeoutSeconds);
}

CloudOutcome SendMimeThroughGmail(const GoogleSettings& settings, const std::string& mailbox, std::string mime,
                                  int timeoutSeconds) {
  const CloudOutcome outcome = CheckSettings(settings);
  if (FAILED(outcome.result)) return outcome;
  return SendCheckedMime(settings, mailbox, std::move(mime), timeoutSeconds);
}

}  // namespace corvisk
