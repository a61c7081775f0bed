#pragma once
// The parts of SMTP discovery that need no DNS: which domain an address
// names, whether the built-in webmail host answers it, and which of the
// domain's mail exchangers to use. No Windows header: the native tree
// tests them.
#include <cstdint>
#include <string>
#include <string_view>

namespace corvisk {

struct SmtpDiscoveryPlan {
  enum class Step {
    ReportEmptyAddress,    // nothing to look up
    ReportInvalidAddress,  // not one single address
    UseWebmailHost,        // host holds the webmail provider's SMTP host
    QueryMailExchanger,    // look up the domain's MX records
  };
  Step step = Step::ReportEmptyAddress;
  std::string domain;  // everything after the '@', in lower case
  std::string host;
};

// What discovery does with a notify address whose blanks at both ends are
// already cut, given the one webmail domain (compared after lower-casing)
// whose SMTP host is known without DNS.
SmtpDiscoveryPlan PlanSmtpDiscovery(std::string_view notifyAddress, std::string_view webmailDomain,
                                    std::string_view webmailHost);

// Collects a domain's MX records in answer order and keeps the host of the
// lowest preference; of equal preferences the first stays. Records without
// a host name are passed over.
class MailExchangerChoice {
 public:
  void Offer(uint16_t preference, const char* host);
  bool HasHost() const { return !host_.empty(); }
  const std::string& Host() const { return host_; }

 private:
  // Above every 16-bit preference, so the first named record is taken.
  uint32_t bestPreference_ = UINT32_MAX;
  std::string host_;
};

}  // namespace corvisk
