// Whole sends through the provider on simulated platforms: the job lookup
// that each platform takes, what its result does to the message the gateway
// receives, and the QuendrySuppEmail transport chosen by NTLMAuthentication.
#include <objbase.h>

#include <string>

#include "ChildProcess.h"
#include "FaxComState.h"
#include "GatewaySendFixture.h"
#include "SettingsKey.h"
#include "SuppServerSupport.h"
#include "servers/QuendrySupp.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"

using namespace corvisk;
using namespace corvisk::test;
using namespace corvisk::testbed;

namespace {

constexpr SimulatedPlatform kWindows2000{5, 0, false};
constexpr SimulatedPlatform kWindowsXp{5, 1, false};
constexpr SimulatedPlatform kServer2003{5, 2, true};
constexpr char kConfiguredSender[] = "sender@example.com";
class JobLookupSendTest : public GatewayTest {
 protected:
  static void SetUpTestSuite() {
    for (const wchar_t* server : {L"QuendrySuppDetails.exe", L"QuendrySuppEmail.exe"}) RunServer(server, L"-RegServer");
  }
  // Sends the three-page fax to number as a job of the simulated platform.
  StatusPacket SendOn(const SimulatedPlatform& platform, const wchar_t* number) {
    SimulatePlatform(platform);
    StartService();
    HANDLE job = StartJob();
    const std::vector<StatusPacket> packets = SendOnJob(job, number, TestFax(L"fine3.tif"));
    EndJob(job);
    return FinalPacket(packets);
  }

  // The message the gateway stored under subject.
  std::optional<ReceivedMessage> Delivered(const std::string& subject) {
    return FindBySubject(GatewayServer("open"), subject);
  }

  std::vector<CapturedEvent> EventsOfType(WORD type) {
    std::vector<CapturedEvent> matching;
    for (const CapturedEvent& event : Events())
      if (event.type == type) matching.push_back(event);
    return matching;
  }

  FaxServerState state_;
};

TEST_F(JobLookupSendTest, WorkstationPutsTheJobIdIntoTheSubjectButKeepsTheSender) {
  SeedJobs({{L"501", kProviderDevice, kInProgress, L"job-owner@example.com"}});
  EXPECT_EQ(SendOn(kWindowsXp, L"T0299990501").statusId, FS_COMPLETED);
  EXPECT_TRUE(result_);
  const auto message = Delivered("0299990501 JobID:501");
  ASSERT_TRUE(message) << "no message with the job's id in its subject";
  EXPECT_EQ(message->mailFrom, kConfiguredSender);
  EXPECT_TRUE(Events().empty());
  EXPECT_EQ(ConnectCount(), 1u) << "GetJobID asked the fax service in-process";
}

TEST_F(JobLookupSendTest, ServerTakesTheJobIdAndSenderFromQuendrySuppDetails) {
  SeedJobs({{L"502", kProviderDevice, kInProgress, L"job-owner@example.com"}});
  EXPECT_EQ(SendOn(kServer2003, L"0299990502").statusId, FS_COMPLETED);
  const auto message = Delivered("0299990502 JobID:502");
  ASSERT_TRUE(message);
  EXPECT_EQ(message->mailFrom, "job-owner@example.com");
  EXPECT_EQ(message->Header("From"), "job-owner@example.com");
  EXPECT_TRUE(Events().empty());
}

TEST_F(JobLookupSendTest, NoJobInProgressLeavesThePlainSubjectAndNoTrace) {
  SeedJobs({{L"503", kProviderDevice, kPending, L"job-owner@example.com"}});
  EXPECT_EQ(SendOn(kServer2003, L"0299990503").statusId, FS_COMPLETED);
  const auto message = Delivered("0299990503");
  ASSERT_TRUE(message);
  EXPECT_EQ(message->mailFrom, kConfiguredSender);
  EXPECT_TRUE(Events().empty());
  EXPECT_EQ(DebugText().find("GetJobID"), std::string::npos) << DebugText();
}

TEST_F(JobLookupSendTest, Windows2000MakesNoLookup) {
  SeedJobs({{L"504", kProviderDevice, kInProgress, L"job-owner@example.com"}});
  EXPECT_EQ(SendOn(kWindows2000, L"0299990504").statusId, FS_COMPLETED);
  EXPECT_TRUE(Delivered("0299990504"));
  EXPECT_EQ(ConnectCount(), 0u);
}

TEST_F(JobLookupSendTest, UnregisteredJobDetailsServerCostsOnlyTheJobId) {
  SeedJobs({{L"505", kProviderDevice, kInProgress, L"job-owner@example.com"}});
  ASSERT_EQ(RunServer(L"QuendrySuppDetails.exe", L"-UnregServer"), 0u);
  const StatusPacket final = SendOn(kServer2003, L"0299990505");
  RunServer(L"QuendrySuppDetails.exe", L"-RegServer");
  EXPECT_EQ(final.statusId, FS_COMPLETED);
  const auto message = Delivered("0299990505");
  ASSERT_TRUE(message);
  EXPECT_EQ(message->mailFrom, kConfiguredSender);
  const std::vector<CapturedEvent> warnings = EventsOfType(EVENTLOG_WARNING_TYPE);
  ASSERT_EQ(warnings.size(), 1u);
  ASSERT_EQ(warnings[0].strings.size(), 1u);
  EXPECT_EQ(warnings[0].strings[0], "com error 0x80040154  : " + StandardMessage(REGDB_E_CLASSNOTREG) + "\r\n");
  EXPECT_NE(DebugText().find(warnings[0].strings[0]), std::string::npos) << "the job log has it too";
}

TEST_F(JobLookupSendTest, FailedGetJobIdIsAWarningAndTheSendGoesOn) {
  SeedJobs({{L"506", kProviderDevice, kInProgress, L"job-owner@example.com"}});
  InjectFailure(L"GetJobs", E_ACCESSDENIED, L"No rights to the fax queue");
  EXPECT_EQ(SendOn(kWindowsXp, L"0299990506").statusId, FS_COMPLETED);
  EXPECT_TRUE(Delivered("0299990506"));
  const std::vector<CapturedEvent> warnings = EventsOfType(EVENTLOG_WARNING_TYPE);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].strings, std::vector<std::string>{"Failed in GetJobID : No rights to the fax queue\r\n"});
}

TEST_F(JobLookupSendTest, NtlmSendsThroughQuendrySuppEmail) {
  WriteSetting("NTLMAuthentication", "Y");
  WriteSetting("SMTPServer", "<local>");
  EXPECT_EQ(SendOn(kWindowsXp, L"0299990507").statusId, FS_COMPLETED);
  EXPECT_TRUE(result_);
  const std::string message = FindPickedUpMessage("Subject: 0299990507");
  ASSERT_FALSE(message.empty()) << "the server left no message in the pickup folder";
  EXPECT_NE(message.find("X-Corvisk-fax-password: gateway-secret\r\n"), std::string::npos);
  EXPECT_NE(message.find("To: 0299990507@"), std::string::npos);
}

TEST_F(JobLookupSendTest, NtlmWithoutTheMailServerFailsWithoutTryingCdo) {
  WriteSetting("NTLMAuthentication", "Y");
  ASSERT_EQ(RunServer(L"QuendrySuppEmail.exe", L"-UnregServer"), 0u);
  const StatusPacket final = SendOn(kWindowsXp, L"0299990508");
  RunServer(L"QuendrySuppEmail.exe", L"-RegServer");
  EXPECT_FALSE(result_);
  EXPECT_EQ(final.statusId, FS_FATAL_ERROR);
  EXPECT_EQ(final.errorCode, kUnexpected);
  const std::vector<CapturedEvent> errors = EventsOfType(EVENTLOG_ERROR_TYPE);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].strings, std::vector<std::string>{StandardMessage(REGDB_E_CLASSNOTREG)});
  EXPECT_FALSE(Delivered("0299990508")) << "CDO was tried after all";
}

TEST_F(JobLookupSendTest, NtlmServerFailureWithoutDescriptionLeavesAnEmptyErrorEvent) {
  WriteSetting("NTLMAuthentication", "Y");
  StatusPacket final;
  {
    SilentSuppEmailRegistration silent;
    final = SendOn(kWindows2000, L"0299990509");
  }
  EXPECT_FALSE(result_);
  EXPECT_EQ(final.statusId, FS_FATAL_ERROR);
  EXPECT_EQ(final.errorCode, kUnexpected);
  const std::vector<CapturedEvent> errors = EventsOfType(EVENTLOG_ERROR_TYPE);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].strings, std::vector<std::string>{""});
  EXPECT_NE(DebugText().find("SendCDOMessage failed\r\n\r\n"), std::string::npos) << DebugText();
}

// Regression: the sender's own e-mail address, which a user types, became
// the sender as it was, so an address list or a header line reached CDO.
TEST_F(JobLookupSendTest, JobAddressThatIsNotOneAddressKeepsTheConfiguredSender) {
  SeedJobs({{L"510", kProviderDevice, kInProgress, L"job-owner@example.com, attacker@evil.example"}});
  EXPECT_EQ(SendOn(kServer2003, L"0299990510").statusId, FS_COMPLETED);
  const auto message = Delivered("0299990510 JobID:510");
  ASSERT_TRUE(message);
  EXPECT_EQ(message->mailFrom, kConfiguredSender);
  EXPECT_EQ(message->Header("From"), kConfiguredSender);
  EXPECT_EQ(message->recipients.size(), 1u);
  EXPECT_TRUE(Events().empty());
  EXPECT_NE(DebugText().find("Job e-mail address not used because it contains \",\": "
                             "\"job-owner@example.com, attacker@evil.example\"\r\n"),
            std::string::npos)
      << DebugText();
}

TEST_F(JobLookupSendTest, RefusedNumberSendsNothingThroughQuendrySuppEmailEither) {
  WriteSetting("NTLMAuthentication", "Y");
  WriteSetting("SMTPServer", "<local>");
  const StatusPacket final = SendOn(kWindowsXp, L"0299990511;attacker@evil.example");
  EXPECT_FALSE(result_);
  EXPECT_EQ(final.statusId, FS_FATAL_ERROR);
  EXPECT_EQ(final.errorCode, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(EventsOfType(EVENTLOG_ERROR_TYPE).size(), 1u);
  EXPECT_EQ(ConnectCount(), 0u) << "the job was looked up";
  EXPECT_TRUE(FindPickedUpMessage("Subject: 0299990511;attacker@evil.example").empty());
}

}  // namespace
