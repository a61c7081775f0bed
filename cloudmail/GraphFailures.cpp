#include "cloudmail/GraphFailures.h"

#include <nlohmann/json.hpp>

#include "common/TextFormat.h"

namespace corvisk {
namespace {

using nlohmann::json;

json ParsedOrEmpty(const std::string& body) {
  json parsed = json::parse(body, nullptr, false);
  return parsed.is_object() ? parsed : json::object();
}

std::string GraphErrorCode(const std::string& body) {
  const json parsed = ParsedOrEmpty(body);
  const auto error = parsed.find("error");
  if (error == parsed.end() || !error->is_object()) return {};
  const auto code = error->find("code");
  return code != error->end() && code->is_string() ? code->get<std::string>() : std::string();
}

// "AADSTS7000215" inside the description, when error_codes is missing.
unsigned long CodeInDescription(const json& parsed) {
  const auto description = parsed.find("error_description");
  if (description == parsed.end() || !description->is_string()) return 0;
  const std::string text = description->get<std::string>();
  const size_t at = text.find("AADSTS");
  return at == std::string::npos ? 0 : std::strtoul(text.c_str() + at + 6, nullptr, 10);
}

std::string WithCode(const std::string& text, unsigned long status, const std::string& code) {
  return code.empty() ? FormatText("%s (HTTP %lu)", text.c_str(), status)
                      : FormatText("%s (HTTP %lu %s)", text.c_str(), status, code.c_str());
}

}  // namespace

unsigned long AadstsCode(const std::string& body) {
  const json parsed = ParsedOrEmpty(body);
  const auto codes = parsed.find("error_codes");
  if (codes != parsed.end() && codes->is_array() && !codes->empty() && (*codes)[0].is_number_unsigned())
    return (*codes)[0].get<unsigned long>();
  return CodeInDescription(parsed);
}

std::string TokenFailureText(unsigned long status, const std::string& body) {
  const unsigned long code = AadstsCode(body);
  switch (code) {
    case 7000222:
      return "Microsoft 365 refused the client secret: it has expired (AADSTS7000222). Create a new secret for the "
             "application, or better a certificate, and enter it in the configuration program.";
    case 7000215:
      return "Microsoft 365 refused the client secret as wrong (AADSTS7000215). Enter the secret's value, not its ID, "
             "from the application registration in the configuration program.";
    case 700016:
      return "Microsoft 365 does not know the application in this tenant (AADSTS700016). Check the tenant and client "
             "ID, and that an administrator of the tenant has consented to the application.";
    case 700027:
    case 700024:
    case 7000274:
      return FormatText(
          "Microsoft 365 refused the certificate credential (AADSTS%lu). Upload the certificate's "
          ".cer file to the application registration, and check this machine's clock.",
          code);
    case 90002:
      return "Microsoft 365 does not know the tenant (AADSTS90002). Check the tenant ID or domain name in the "
             "configuration program.";
    default:
      break;
  }
  if (code != 0)
    return FormatText(
        "Microsoft 365 refused the token request (HTTP %lu, AADSTS%lu). Check the tenant, client ID and "
        "credential in the configuration program.",
        status, code);
  return FormatText(
      "Microsoft 365 refused the token request (HTTP %lu). Check the tenant, client ID and credential "
      "in the configuration program.",
      status);
}

std::string GraphFailureText(unsigned long status, const std::string& body, const std::string& mailbox) {
  const std::string code = GraphErrorCode(body);
  switch (status) {
    case 401:
      return WithCode("Microsoft Graph refused the application's token twice", status, code) +
             ". Check that the tenant's Graph host is the one configured.";
    case 403:
      return WithCode("Microsoft Graph refused to send as " + mailbox, status, code) +
             ". Grant the application Mail.Send with admin consent and put the mailbox in its RBAC for "
             "Applications scope.";
    case 404:
      return WithCode("Microsoft Graph does not know the mailbox " + mailbox, status, code) +
             ". Set M365Mailbox, or the notification address, to a mailbox of the tenant.";
    case 413:
      return WithCode("Microsoft Graph refused the fax as too large", status, code) +
             ". Send it in smaller parts, or ask for the mailbox's message size limit to be raised.";
    case 429:
      return WithCode("Microsoft Graph throttled the application and asked it to wait longer than the time-out", status,
                      code) +
             ". Send the fax again later.";
    default:
      break;
  }
  if (status >= 500) return WithCode("Microsoft Graph is not available", status, code) + ". Send the fax again later.";
  return WithCode("Microsoft Graph refused the fax", status, code) + ".";
}

std::string ConnectionFailureText(unsigned long error, const std::string& host, int timeoutSeconds) {
  switch (error) {
    case 12002:
      return FormatText(
          "%s did not answer within %d seconds (WinHTTP error 12002). Check the network, the proxy "
          "(netsh winhttp show proxy) and SMTPTimeout.",
          host.c_str(), timeoutSeconds);
    case 12007:
      return FormatText("The name %s could not be resolved (WinHTTP error 12007). Check the host names and DNS.",
                        host.c_str());
    case 12029:
      return FormatText(
          "No connection could be made to %s (WinHTTP error 12029). Check the network, the firewall "
          "and the proxy (netsh winhttp show proxy).",
          host.c_str());
    case 12157:
    case 12175:
      return FormatText(
          "The certificate of %s was not accepted (WinHTTP error %lu). Check the machine's clock, its "
          "root certificates and any TLS-inspecting proxy.",
          host.c_str(), error);
    default:
      return FormatText("The connection to %s failed (WinHTTP error %lu).", host.c_str(), error);
  }
}

}  // namespace corvisk
