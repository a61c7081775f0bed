#include "cloudmail/CloudTestMail.h"

#include "cloudmail/GmailMail.h"
#include "cloudmail/GraphFailures.h"
#include "mime/FaxMail.h"
#include "win32/GuidText.h"
#include "win32/SystemMessage.h"

namespace corvisk {
namespace {

CloudOutcome ComposeTestMessage(const std::string& from, const std::string& address, const char* service,
                                const char* interface, std::string& text) {
  std::string id;
  if (const HRESULT result = NewGuidText(id); FAILED(result))
    return CloudFailure("No unique message ID could be made for the test message: " + StandardMessage(result), result);
  MimeContent content;
  content.headers = {{"Date", CurrentMailDate()},
                     {"From", from},
                     {"To", address},
                     {"Subject", std::string("CorviskFSP test mail through ") + service},
                     {"Message-ID", "<" + id + "@corviskfsp>"}};
  content.textBody = std::string("This is a test message of CorviskFSP, sent through ") + interface + ".\r\n";
  text = MimeMessageText(content, std::string(), {});
  return {};
}

}  // namespace

CloudOutcome SendTestMailThroughGraph(const M365Settings& settings, const std::string& address, int timeoutSeconds,
                                      TokenFacts& facts) {
  GraphClient client(settings, timeoutSeconds);
  std::string token;
  CloudOutcome outcome = SharedGraphToken(client, std::string(), token);
  if (FAILED(outcome.result)) return outcome;
  facts = ReadTokenFacts(token);
  const std::string mailbox = settings.mailbox.empty() ? address : settings.mailbox;
  std::string message;
  outcome = ComposeTestMessage(mailbox, address, "Microsoft 365", "Microsoft Graph", message);
  if (FAILED(outcome.result)) return outcome;
  HttpsRequest request =
      client.NewRequest(L"POST", client.GraphUrl("/v1.0/users/" + UrlEncoded(mailbox) + "/sendMail"), "text/plain");
  request.body = EncodeBase64(message);
  HttpsResponse response;
  outcome = client.SendAuthorized(request, response);
  if (FAILED(outcome.result)) return outcome;
  if (response.status != 202) return CloudFailure(GraphFailureText(response.status, response.body, mailbox));
  return {};
}

CloudOutcome SendTestMailThroughGmail(const GoogleSettings& settings, const std::string& address, int timeoutSeconds) {
  const std::string mailbox = settings.mailbox.empty() ? address : settings.mailbox;
  std::string message;
  const CloudOutcome outcome = ComposeTestMessage(mailbox, address, "Google Workspace", "the Gmail API", message);
  if (FAILED(outcome.result)) return outcome;
  return SendMimeThroughGmail(settings, mailbox, std::move(message), timeoutSeconds);
}

}  // namespace corvisk
