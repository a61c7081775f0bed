// SMTP discovery without DNS: the domain an address names, the webmail
// shortcut, and the walk that picks a mail exchanger from an answer.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "common/MailExchanger.h"

using namespace corvisk;
using Step = SmtpDiscoveryPlan::Step;

namespace {

constexpr char kWebmailDomain[] = "webmail.example";
constexpr char kWebmailHost[] = "smtp.webmail.example";

SmtpDiscoveryPlan Plan(const char* address) { return PlanSmtpDiscovery(address, kWebmailDomain, kWebmailHost); }

std::string Choose(const std::vector<std::pair<uint16_t, const char*>>& answer) {
  MailExchangerChoice choice;
  for (const auto& [preference, host] : answer) choice.Offer(preference, host);
  return choice.HasHost() ? choice.Host() : "(none)";
}

TEST(SmtpDiscoveryPlan, EmptyAndAllButOneSingleAddressAreReported) {
  EXPECT_EQ(Plan("").step, Step::ReportEmptyAddress);
  // Regression: an address list or a second '@' was looked up as a domain.
  for (const char* address : {"postmaster", "user at example.org", "a@b@Example.org", "user@",
                              "a@example.org;b@evil.example", "Fax <a@example.org>"})
    EXPECT_EQ(Plan(address).step, Step::ReportInvalidAddress) << address;
}

TEST(SmtpDiscoveryPlan, DomainIsEverythingAfterTheAtInLowerCase) {
  const SmtpDiscoveryPlan mixed = Plan("Fax.Admin@Mail.Example.ORG");
  EXPECT_EQ(mixed.step, Step::QueryMailExchanger);
  EXPECT_EQ(mixed.domain, "mail.example.org");
  // Only ASCII letters change case: other code page bytes stay as they are.
  EXPECT_EQ(Plan("u@\xC4XAMPLE.org").domain, "\xC4xample.org");
}

TEST(SmtpDiscoveryPlan, WebmailDomainInAnyCaseGivesItsHostWithoutALookup) {
  for (const char* address : {"someone@webmail.example", "SOMEONE@WEBMAIL.EXAMPLE", "x@WebMail.Example"}) {
    const SmtpDiscoveryPlan plan = Plan(address);
    EXPECT_EQ(plan.step, Step::UseWebmailHost) << address;
    EXPECT_EQ(plan.host, kWebmailHost) << address;
  }
  // The whole domain must match, not a part of it.
  EXPECT_EQ(Plan("x@mail.webmail.example").step, Step::QueryMailExchanger);
  EXPECT_EQ(Plan("x@webmail.example.org").step, Step::QueryMailExchanger);
  EXPECT_EQ(Plan("webmail.example@other.org").step, Step::QueryMailExchanger);
}

TEST(MailExchangerChoice, LowestPreferenceWinsWhereverItStandsInTheAnswer) {
  EXPECT_EQ(Choose({{20, "b.example"}, {10, "a.example"}, {30, "c.example"}}), "a.example");
  EXPECT_EQ(Choose({{10, "a.example"}, {20, "b.example"}}), "a.example");
  EXPECT_EQ(Choose({{0, "zero.example"}, {65535, "max.example"}}), "zero.example");
}

TEST(MailExchangerChoice, FirstOfEqualPreferencesStays) {
  EXPECT_EQ(Choose({{20, "high.example"}, {5, "first.example"}, {5, "second.example"}}), "first.example");
  // The highest possible preference is still taken when it is the only one.
  EXPECT_EQ(Choose({{65535, "only.example"}, {65535, "other.example"}}), "only.example");
}

TEST(MailExchangerChoice, RecordsWithoutAHostAreNoChoice) {
  EXPECT_EQ(Choose({}), "(none)");
  // A null MX ("MX 0 .") says the domain takes no mail.
  EXPECT_EQ(Choose({{0, ""}}), "(none)");
  EXPECT_EQ(Choose({{0, nullptr}, {10, "real.example"}}), "real.example");
}

}  // namespace
