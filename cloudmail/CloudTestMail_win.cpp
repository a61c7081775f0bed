#include "cloudmail/CloudTestMail.h"

#include "cloudmail/GmailMail.h"
#include "cloudmail/GraphFailures.h"
#include "mime/FaxMail.h"
#include "win32/GuidText.h"

namespace corvisk {
namespace {

std::string CurrentMailDate() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  return MailDate(now.wDayOfWeek, now.wDay, now.wMonth, now.wYear, now.wHour, now.wMinute, now.wSecond);
}

std::string TestMessage(const std::string& from, const std::string& address, const char* service,
                        const char* interface) {
  MimeContent content;
  content.headers = {{"Date", CurrentMailDate()},
                     {"From", from},
                     {"To", address},
                     {"Subject", std::string("CorviskFSP test mail through ") + service},
                     {"Message-ID", "<" + NewGuidText() + "@corviskfsp>"}};
  content.textBody = std::string("This is a test message of CorviskFSP, sent through ") + interface + ".\r\n";
  return MimeMessageText(content, std::string(), {});
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
  HttpsRequest request =
      client.NewRequest(L"POST", client.GraphUrl("/v1.0/users/" + UrlEncoded(mailbox) + "/sendMail"), "text/plain");
  request.body = EncodeBase64(TestMessage(mailbox, address, "Microsoft 365", "Microsoft Graph"));
  HttpsResponse response;
  outcome = client.SendAuthorized(request, response);
  if (FAILED(outcome.result)) return outcome;
  if (response.status != 202) return CloudFailure(GraphFailureText(response.status, response.body, mailbox));
  return {};
}

CloudOutcome SendTestMailThroughGmail(const GoogleSettings& settings, const std::string& address, int timeoutSeconds) {
  const std::string mailbox = settings.mailbox.empty() ? address : settings.mailbox;
  return SendMimeThroughGmail(settings, mailbox, TestMessage(mailbox, address, "Google Workspace", "the Gmail API"),
                              timeoutSeconds);
}

}  // namespace corvisk
