#include "config/SmtpDiscovery.h"

#include <windns.h>

#include <memory>

#include "common/MailExchanger.h"
#include "config/MessageBoxes.h"
#include "settings/BuiltInConstants.h"
#include "settings/Settings.h"
#include "win32/WaitCursor.h"

namespace corvisk {

namespace {

// "Notify email address must not be empty" in the program's string table.
constexpr UINT kNotifyAddressEmptyText = 32;
constexpr char kInvalidAddressText[] = "Invalid notify e-mail address";
constexpr char kNoMailExchangerText[] = "Failed to find Mail Exchanger for ";

struct DnsRecordListFreeFn {
  void operator()(DNS_RECORDA* records) const {
    DnsRecordListFree(reinterpret_cast<PDNS_RECORD>(records), DnsFreeRecordList);
  }
};
// The whole answer of one query, freed as one list.
using unique_dns_records = std::unique_ptr<DNS_RECORDA, DnsRecordListFreeFn>;

// The host of the domain's MX record with the lowest preference; false when
// the query fails or its answer holds no MX record with a host.
bool FindMailExchanger(const std::string& domain, std::string& host) {
  const WaitCursor wait;
  DNS_RECORDA* first = nullptr;
  // The records of the ANSI query are ANSI records, whatever PDNS_RECORD is.
  const DNS_STATUS status = DnsQuery_A(domain.c_str(), DNS_TYPE_MX, DNS_QUERY_STANDARD, nullptr,
                                       reinterpret_cast<PDNS_RECORD*>(&first), nullptr);
  const unique_dns_records records(first);
  if (status != ERROR_SUCCESS) return false;
  MailExchangerChoice choice;
  for (const DNS_RECORDA* record = records.get(); record; record = record->pNext) {
    if (record->wType == DNS_TYPE_MX) choice.Offer(record->Data.MX.wPreference, record->Data.MX.pNameExchange);
  }
  if (!choice.HasHost()) return false;
  host = choice.Host();
  return true;
}

}  // namespace

BOOL DiscoverSmtpServer(HWND owner, std::string notifyAddress, std::string& server) {
  using Step = SmtpDiscoveryPlan::Step;
  const std::string address = TrimBlanks(notifyAddress);
  const SmtpDiscoveryPlan plan = PlanSmtpDiscovery(address, kWebmailDomain, kWebmailSmtpHost);
  switch (plan.step) {
    case Step::ReportEmptyAddress:
      ShowMessage(owner, kNotifyAddressEmptyText, MB_ICONERROR);
      return FALSE;
    case Step::ReportInvalidAddress:
      ShowMessage(owner, kInvalidAddressText, MB_ICONERROR);
      return FALSE;
    case Step::UseWebmailHost:
      server = plan.host;
      return TRUE;
    case Step::QueryMailExchanger:
      break;
  }
  if (!FindMailExchanger(plan.domain, server)) {
    // The whole address, not its domain: the user recognises what was typed.
    ShowMessage(owner, kNoMailExchangerText + address, MB_ICONERROR);
    return FALSE;
  }
  return TRUE;
}

}  // namespace corvisk
