#include "cloudmail/GraphMail.h"

#include <nlohmann/json.hpp>

#include "cloudmail/GraphFailures.h"
#include "common/TextFormat.h"
#include "win32/AnsiText.h"
#include "win32/Handles.h"

namespace corvisk {
namespace {

using nlohmann::json;

CloudOutcome CheckSettings(const M365Settings& settings) {
  if (!CloudLibrariesPresent())
    return CloudFailure(
        "Microsoft 365 as the mail transport needs Windows Vista or later (winhttp.dll and bcrypt.dll).");
  if (settings.tenantId.empty() || settings.clientId.empty()) {
    return CloudFailure(
        "Microsoft 365 is the mail transport but M365TenantId or M365ClientId is empty. Enter the "
        "tenant and the application (client) ID in the configuration program.");
  }
  return {};
}

class GraphSend {
 public:
  GraphSend(const M365Settings& settings, const GraphFax& fax)
      : client_(settings, fax.timeoutSeconds),
        fax_(fax),
        mailbox_(settings.mailbox.empty() ? fax.fields.sender : settings.mailbox) {}

  CloudOutcome Run();

 private:
  std::string UserPath(const std::string& rest) const {
    return client_.GraphUrl("/v1.0/users/" + UrlEncoded(mailbox_) + rest);
  }
  CloudOutcome Expect(const HttpsResponse& response, DWORD status) const {
    if (response.status == status) return {};
    return CloudFailure(GraphFailureText(response.status, response.body, mailbox_));
  }
  CloudOutcome SendMail(const std::string& mime);
  CloudOutcome SendLarge(unsigned long long size);
  CloudOutcome CreateDraft(std::string& id);
  CloudOutcome UploadAttachment(const std::string& id, unsigned long long size);
  CloudOutcome UploadPieces(const std::string& uploadUrl, unsigned long long size);
  void DeleteDraft(const std::string& id);

  GraphClient client_;
  const GraphFax& fax_;
  std::string mailbox_;
};

CloudOutcome GraphSend::Run() {
  unsigned long long size = 0;
  const CloudOutcome outcome = ReadDocumentSize(fax_, size);
  if (FAILED(outcome.result)) return outcome;
  if (MimeMessageSize(CloudFaxContent(fax_), CloudFaxBoundary(fax_), {static_cast<size_t>(size)}) > kSendMailMimeLimit)
    return SendLarge(size);
  std::string mime;
  const CloudOutcome composed = ComposeCloudFax(fax_, mime);
  return FAILED(composed.result) ? composed : SendMail(mime);
}

CloudOutcome GraphSend::SendMail(const std::string& mime) {
  HttpsRequest request = client_.NewRequest(L"POST", UserPath("/sendMail"), "text/plain");
  request.body = EncodeBase64(mime);
  HttpsResponse response;
  const CloudOutcome outcome = client_.SendAuthorized(request, response);
  return FAILED(outcome.result) ? outcome : Expect(response, 202);
}

CloudOutcome GraphSend::CreateDraft(std::string& id) {
  const json address = {{"emailAddress", {{"address", fax_.fields.sender}}}};
  const json draft = {{"subject", fax_.fields.subject},
                      {"body", {{"contentType", "text"}, {"content", ""}}},
                      {"toRecipients", json::array({{{"emailAddress", {{"address", fax_.fields.recipient}}}}})},
                      {"from", address},
                      {"sender", address},
                      {"internetMessageHeaders",
                       json::array({{{"name", kFaxPasswordHeader}, {"value", fax_.fields.gatewayPassword}}})}};
  HttpsRequest request = client_.NewRequest(L"POST", UserPath("/messages"), "application/json");
  request.body = draft.dump();
  HttpsResponse response;
  CloudOutcome outcome = client_.SendAuthorized(request, response);
  if (FAILED(outcome.result)) return outcome;
  if (response.status == 403) {
    return CloudFailure(GraphFailureText(response.status, response.body, mailbox_).substr(0, 200) +
                        " Faxes over 3 MB also need Mail.ReadWrite.");
  }
  if (FAILED((outcome = Expect(response, 201)).result)) return outcome;
  const json answer = json::parse(response.body, nullptr, false);
  if (answer.is_object() && answer.contains("id") && answer["id"].is_string()) id = answer["id"].get<std::string>();
  if (id.empty()) return CloudFailure("Microsoft Graph created a draft for the fax but gave no id for it.");
  return {};
}

CloudOutcome GraphSend::UploadAttachment(const std::string& id, unsigned long long size) {
  const json session = {{"AttachmentItem",
                         {{"attachmentType", "file"},
                          {"name", fax_.attachmentName},
                          {"size", size},
                          {"contentType", ContentTypeForFile(fax_.attachmentName)}}}};
  HttpsRequest request = client_.NewRequest(
      L"POST", UserPath("/messages/" + UrlEncoded(id) + "/attachments/createUploadSession"), "application/json");
  request.body = session.dump();
  HttpsResponse response;
  CloudOutcome outcome = client_.SendAuthorized(request, response);
  if (FAILED(outcome.result) || FAILED((outcome = Expect(response, 201)).result)) return outcome;
  const json answer = json::parse(response.body, nullptr, false);
  if (!answer.is_object() || !answer.contains("uploadUrl") || !answer["uploadUrl"].is_string())
    return CloudFailure("Microsoft Graph opened an upload session for the fax but gave no address for it.");
  return UploadPieces(answer["uploadUrl"].get<std::string>(), size);
}

// The upload address carries its own authorization: no token goes there.
CloudOutcome GraphSend::UploadPieces(const std::string& uploadUrl, unsigned long long size) {
  const unique_hfile file(CreateFileW(fax_.attachmentPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return DocumentReadFailure(GetLastError(), fax_.attachmentPath);
  for (unsigned long long at = 0; at < size;) {
    HttpsRequest request = client_.NewRequest(L"PUT", uploadUrl, "application/octet-stream");
    request.body.resize(static_cast<size_t>(std::min<unsigned long long>(kUploadChunkBytes, size - at)));
    DWORD got = 0;
    const BOOL read = ReadFile(file.get(), request.body.data(), static_cast<DWORD>(request.body.size()), &got, nullptr);
    if (!read || got != request.body.size())
      return DocumentReadFailure(read ? ERROR_HANDLE_EOF : GetLastError(), fax_.attachmentPath);
    request.headers += ToWide(FormatText("Content-Range: bytes %llu-%llu/%llu\r\n", at, at + got - 1, size));
    HttpsResponse response;
    const CloudOutcome outcome = client_.Send(request, response);
    if (FAILED(outcome.result)) return outcome;
    at += got;
    if (response.status != 200 && response.status != 201)
      return CloudFailure(GraphFailureText(response.status, response.body, mailbox_));
  }
  return {};
}

void GraphSend::DeleteDraft(const std::string& id) {
  HttpsResponse response;
  client_.SendAuthorized(client_.NewRequest(L"DELETE", UserPath("/messages/" + UrlEncoded(id)), nullptr), response);
}

CloudOutcome GraphSend::SendLarge(unsigned long long size) {
  std::string id;
  CloudOutcome outcome = CreateDraft(id);
  if (FAILED(outcome.result)) return outcome;
  outcome = UploadAttachment(id, size);
  HttpsResponse response;
  if (SUCCEEDED(outcome.result)) {
    outcome = client_.SendAuthorized(
        client_.NewRequest(L"POST", UserPath("/messages/" + UrlEncoded(id) + "/send"), nullptr), response);
    // Without an answer the draft may have gone out: it is left alone.
    if (FAILED(outcome.result)) return outcome;
    outcome = Expect(response, 202);
  }
  // A draft that was not sent would stay in the mailbox's Drafts folder.
  if (FAILED(outcome.result)) DeleteDraft(id);
  return outcome;
}

}  // namespace

CloudOutcome SendFaxThroughGraph(const M365Settings& settings, const GraphFax& fax) {
  const CloudOutcome outcome = CheckSettings(settings);
  if (FAILED(outcome.result)) return outcome;
  return GraphSend(settings, fax).Run();
}

}  // namespace corvisk
