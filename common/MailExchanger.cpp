#include "common/MailExchanger.h"

#include "common/MailAddress.h"

namespace corvisk {

namespace {

// Domain names compare without regard to ASCII case; bytes of other code
// page characters are kept as they are.
std::string AsciiLowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace

SmtpDiscoveryPlan PlanSmtpDiscovery(std::string_view notifyAddress, std::string_view webmailDomain,
                                    std::string_view webmailHost) {
  using Step = SmtpDiscoveryPlan::Step;
  SmtpDiscoveryPlan plan;
  if (notifyAddress.empty()) return plan;
  // The test mail goes to the same address: one mailbox, nothing more.
  if (!CheckSingleMailAddress(notifyAddress)) {
    plan.step = Step::ReportInvalidAddress;
    return plan;
  }
  plan.domain = AsciiLowerCase(notifyAddress.substr(notifyAddress.find('@') + 1));
  if (plan.domain == AsciiLowerCase(webmailDomain)) {
    plan.step = Step::UseWebmailHost;
    plan.host = std::string(webmailHost);
    return plan;
  }
  plan.step = Step::QueryMailExchanger;
  return plan;
}

void MailExchangerChoice::Offer(uint16_t preference, const char* host) {
  if (!host || !*host) return;
  if (preference < bestPreference_) {
    bestPreference_ = preference;
    host_ = host;
  }
}

}  // namespace corvisk
