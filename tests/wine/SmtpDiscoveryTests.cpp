// DiscoverSmtpServer through Wine's DnsQuery_A and the host's resolver,
// against a real DNS server: tests/dns/with-dns-server runs this program in
// a mount namespace whose resolv.conf names a server answering from
// tests/dns/zone.txt. The failure messages are read and answered as a user
// would.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "GatewayMailbox.h"
#include "MessageBoxAnswerer.h"
#include "common/Product.h"
#include "config/SmtpDiscovery.h"
#include "settings/BuiltInConstants.h"

using namespace corvisk;
using namespace corvisk::test;

namespace {

constexpr char kUntouched[] = "(untouched)";

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class SmtpDiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ =
        CreateWindowA("STATIC", "discovery owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(owner_) << "no window: is there an X display?";
  }
  void TearDown() override { DestroyWindow(owner_); }

  // Skips the test, saying why, when the DNS server cannot be reached.
  static const char* DnsUnavailable() {
    if (const char* reason = std::getenv("CORVISK_DNS_UNAVAILABLE")) return reason;
    if (!std::getenv("CORVISK_DNS_QUERY_LOG")) return "not run through tests/dns/with-dns-server";
    return nullptr;
  }

  BOOL Discover(const std::string& address) {
    server_ = kUntouched;
    questionsBefore_ = AllQuestions().size();
    const MessageBoxAnswerer answerer(kMessageCaption);
    const BOOL found = DiscoverSmtpServer(owner_, address, server_);
    shown_ = answerer.Shown();
    return found;
  }

  // The one message shown: an error owned by the window passed in.
  std::string OnlyErrorShown() const {
    if (shown_.size() != 1) return "(" + std::to_string(shown_.size()) + " messages)";
    EXPECT_TRUE(shown_[0].errorIcon);
    EXPECT_FALSE(shown_[0].hasCancel);
    EXPECT_EQ(shown_[0].owner, owner_);
    return shown_[0].text;
  }

  // Every question the DNS server was asked, "NAME TYPE" each.
  static std::vector<std::string> AllQuestions() {
    std::vector<std::string> lines;
    const char* log = std::getenv("CORVISK_DNS_QUERY_LOG");
    std::istringstream text(log ? ReadWholeFile(WinePath(log)) : std::string());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  }

  // The questions of the last discovery.
  std::vector<std::string> Questions() const {
    std::vector<std::string> lines = AllQuestions();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(questionsBefore_, lines.size())));
    return lines;
  }

  bool Asked(const std::string& question) const {
    for (const std::string& line : Questions()) {
      if (line == question) return true;
    }
    return false;
  }

  size_t questionsBefore_ = 0;
  HWND owner_ = nullptr;
  std::string server_;
  std::vector<ShownMessageBox> shown_;
};

#define REQUIRE_DNS_SERVER() \
  if (const char* reason = DnsUnavailable()) GTEST_SKIP() << "no test DNS server: " << reason

TEST_F(SmtpDiscoveryTest, LowestPreferenceWinsWhereverItStands) {
  REQUIRE_DNS_SERVER();
  EXPECT_TRUE(Discover("fax@ordered.test"));
  EXPECT_EQ(server_, "mx-main.ordered.test");
  EXPECT_TRUE(shown_.empty());
  EXPECT_TRUE(Asked("ordered.test. MX"));
}

TEST_F(SmtpDiscoveryTest, FirstOfEqualPreferencesStays) {
  REQUIRE_DNS_SERVER();
  EXPECT_TRUE(Discover("fax@equal.test"));
  EXPECT_EQ(server_, "mx-first.equal.test");
}

TEST_F(SmtpDiscoveryTest, MixedCaseDomainIsLookedUpInLowerCase) {
  REQUIRE_DNS_SERVER();
  // The server matches names exactly; blanks around the address are cut.
  EXPECT_TRUE(Discover(" \tFax.Admin@Mixed.EXAMPLE.Test\t "));
  EXPECT_EQ(server_, "mx.mixed.example.test");
  EXPECT_TRUE(Asked("mixed.example.test. MX"));
}

// Regression: a second '@', a trailing '@' or an address list went to DNS as
// a domain.
TEST_F(SmtpDiscoveryTest, AnythingButOneAddressIsInvalidAndAsksNothing) {
  for (const char* address : {"user@first@second.test", "  fax.admin@\t", "fax@ordered.test;x@evil.example"}) {
    EXPECT_FALSE(Discover(address)) << address;
    EXPECT_EQ(OnlyErrorShown(), "Invalid notify e-mail address");
  }
  EXPECT_EQ(server_, kUntouched);
  if (DnsUnavailable()) return;
  EXPECT_EQ(Questions(), std::vector<std::string>{});
}

TEST_F(SmtpDiscoveryTest, DomainWithoutMailExchangers) {
  REQUIRE_DNS_SERVER();
  EXPECT_FALSE(Discover("ops@nomx.test"));
  EXPECT_EQ(OnlyErrorShown(), "Failed to find Mail Exchanger for ops@nomx.test");
  EXPECT_TRUE(Asked("nomx.test. MX"));
  EXPECT_FALSE(Discover("ops@no-such-domain.test"));
  EXPECT_EQ(OnlyErrorShown(), "Failed to find Mail Exchanger for ops@no-such-domain.test");
}

TEST_F(SmtpDiscoveryTest, FailingDnsServerGivesTheSameMessage) {
  REQUIRE_DNS_SERVER();
  EXPECT_FALSE(Discover("ops@broken.test"));
  EXPECT_EQ(OnlyErrorShown(), "Failed to find Mail Exchanger for ops@broken.test");
  EXPECT_TRUE(Asked("broken.test. MX"));
  EXPECT_EQ(server_, kUntouched);
}

TEST_F(SmtpDiscoveryTest, WebmailDomainInCapitalsGivesItsHostWithoutALookup) {
  EXPECT_TRUE(Discover("SOMEONE@" + Upper(kWebmailDomain)));
  EXPECT_EQ(server_, kWebmailSmtpHost);
  EXPECT_TRUE(shown_.empty());
  if (DnsUnavailable()) return;
  EXPECT_EQ(Questions(), std::vector<std::string>{}) << "the webmail host is known without DNS";
}

TEST_F(SmtpDiscoveryTest, EmptyAndInvalidAddressesAreToldApart) {
  EXPECT_FALSE(Discover(" \t \t"));
  EXPECT_EQ(OnlyErrorShown(), "Notify email address must not be empty");
  EXPECT_FALSE(Discover("postmaster"));
  EXPECT_EQ(OnlyErrorShown(), "Invalid notify e-mail address");
  EXPECT_EQ(server_, kUntouched);
  if (DnsUnavailable()) return;
  EXPECT_EQ(Questions(), std::vector<std::string>{});
}

}  // namespace
