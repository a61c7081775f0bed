#include "cloudmail/GoogleFailures.h"

#include <nlohmann/json.hpp>

#include "common/TextFormat.h"

namespace corvisk {
namespace {

using nlohmann::json;

// Descriptions and mailboxes come from outside: a text stays within the
// event log's entry however long they are.
constexpr size_t kMaxQuoted = 60;

json ParsedOrEmpty(const std::string& body) {
  json parsed = json::parse(body, nullptr, false);
  return parsed.is_object() ? parsed : json::object();
}

std::string TextAt(const json& object, const char* name) {
  const auto member = object.find(name);
  return member != object.end() && member->is_string() ? member->get<std::string>() : std::string();
}

std::string Quoted(const std::string& text) { return text.substr(0, kMaxQuoted); }

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// errors[0].reason, or else the status word ("PERMISSION_DENIED").
std::string GmailReason(const json& error) {
  const auto errors = error.find("errors");
  if (errors != error.end() && errors->is_array() && !errors->empty() && (*errors)[0].is_object()) {
    const std::string reason = TextAt((*errors)[0], "reason");
    if (!reason.empty()) return reason;
  }
  return TextAt(error, "status");
}

std::string WithCode(const std::string& text, unsigned long status, const std::string& code) {
  return code.empty() ? FormatText("%s (HTTP %lu)", text.c_str(), status)
                      : FormatText("%s (HTTP %lu %s)", text.c_str(), status, Quoted(code).c_str());
}

std::string InvalidGrantText(const std::string& description, const std::string& mailbox) {
  if (Contains(description, "email") || Contains(description, "User ID"))
    return "Google does not know the mailbox " + Quoted(mailbox) +
           " (invalid_grant). Set GoogleMailbox, or the notification address, to a user of the Workspace domain.";
  if (Contains(description, "Signature") || Contains(description, "account not found"))
    return "Google refused the service account's key (invalid_grant: " + Quoted(description) +
           "). The key was deleted or replaced: create a new key and import it in the configuration program.";
  return "Google refused the grant (invalid_grant: " + Quoted(description) +
         "). Set this machine's clock right, check the mailbox, and that the service account's key still exists.";
}

}  // namespace

std::string GoogleTokenFailureText(unsigned long status, const std::string& body, const std::string& mailbox) {
  const json parsed = ParsedOrEmpty(body);
  const std::string code = TextAt(parsed, "error");
  const std::string description = TextAt(parsed, "error_description");
  if (code == "unauthorized_client")
    return "Google refused to let the service account act as " + Quoted(mailbox) +
           " (unauthorized_client). In the Admin console, grant its client ID domain-wide delegation for "
           "https://www.googleapis.com/auth/gmail.send.";
  if (code == "invalid_grant") return InvalidGrantText(description, mailbox);
  if (code == "invalid_client" || code == "invalid_scope")
    return FormatText("Google refused the token request (HTTP %lu %s: %s). Import the service account's key again.",
                      status, code.c_str(), Quoted(description).c_str());
  return WithCode("Google refused the token request", status, code) +
         ". Check GoogleTokenUri and the service account's key in the configuration program.";
}

std::string GmailFailureText(unsigned long status, const std::string& body, const std::string& mailbox) {
  const json parsed = ParsedOrEmpty(body);
  const auto found = parsed.find("error");
  const json error = found != parsed.end() && found->is_object() ? *found : json::object();
  const std::string reason = GmailReason(error);
  const std::string message = TextAt(error, "message");
  if (status == 403 && (reason == "accessNotConfigured" || Contains(message, "has not been used in project") ||
                        Contains(message, "is disabled")))
    return WithCode("The Gmail API is disabled for the service account's project", status, reason) +
           ". Enable the Gmail API for that project in the Google Cloud console.";
  switch (status) {
    case 400:
      if (reason == "failedPrecondition")
        return WithCode("Gmail has no mailbox " + Quoted(mailbox), status, reason) +
               ". Set GoogleMailbox, or the notification address, to a Workspace user with Gmail on.";
      break;
    case 401:
      return WithCode("Gmail refused the service account's token twice", status, reason) +
             ". Check that GoogleApiHost is Gmail's.";
    case 403:
      return WithCode("Gmail refused to send as " + Quoted(mailbox), status, reason) +
             ". Check the domain-wide delegation of the gmail.send scope and that the mailbox may send mail.";
    case 404:
      return WithCode("Gmail does not know the mailbox " + Quoted(mailbox), status, reason) +
             ". Set GoogleMailbox, or the notification address, to a user of the Workspace domain.";
    case 413:
      return WithCode("Gmail refused the fax as too large", status, reason) + ". Send it in smaller parts.";
    case 429:
      return WithCode("Gmail throttled the mailbox longer than the time-out allows", status, reason) +
             ". Send the fax again later.";
    default:
      break;
  }
  if (status >= 500) return WithCode("Gmail is not available", status, reason) + ". Send the fax again later.";
  return WithCode("Gmail refused the fax", status, reason) + ".";
}

std::string GmailTooLargeText(unsigned long long size) {
  constexpr double kMegabyte = 1024.0 * 1024.0;
  return FormatText(
      "The fax message is %.1f MB; Gmail takes messages of at most %.0f MB. Nothing was sent: send the fax in "
      "smaller parts.",
      static_cast<double>(size) / kMegabyte, static_cast<double>(kGmailMessageLimit) / kMegabyte);
}

}  // namespace corvisk
