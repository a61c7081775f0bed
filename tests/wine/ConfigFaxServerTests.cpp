// What an apply run and the Miscellaneous page do to the fax server, against
// the stand-ins.
#include <string>

#include "ConfigFixture.h"
#include "FaxComState.h"
#include "SettingsKey.h"
#include "testbed/faxcom/StandInState.h"

namespace corvisk::test {
namespace {

// A number the stand-in keeps for the outgoing queue.
DWORD QueueNumber(const wchar_t* name) { return testbed::faxstandin::ReadNumber(L"", name); }

// The apply runs in the program's own time: the state is polled.
template <typename Condition>
bool WaitFor(Condition condition) {
  for (int i = 0; i < 100; ++i, Sleep(100))
    if (condition()) return true;
  return false;
}

class ConfigFaxServerTest : public ConfigProgramTest {
 protected:
  FaxServerState faxServer_;
};

TEST_F(ConfigFaxServerTest, OkMakesTheProviderTheOnlySendingDevice) {
  SeedDevice(1, L"Modem 1", 1, 1);
  SeedDevice(2, L"CorviskFSP0", 0, 1);
  ConfigProgram program;
  program.PressOk();
  FinishApply(program);
  EXPECT_EQ(program.WaitForExit(), 0u);
  EXPECT_EQ(DeviceNumber(1, L"SendEnabled"), 0u);
  EXPECT_EQ(DeviceNumber(2, L"SendEnabled"), 1u);
  EXPECT_EQ(DeviceNumber(2, L"ReceiveMode"), 0u);
}

TEST_F(ConfigFaxServerTest, ConfirmedNotOnlyLeavesTheOtherDevicesSending) {
  SeedDevice(1, L"Modem 1", 1, 1);
  SeedDevice(2, L"CorviskFSP0", 0, 1);
  ConfigProgram program;
  program.SelectPage(3);
  program.SetCheck(IDC_USE_ONLY, false);
  program.PressOk();
  const auto question = program.WaitForMessageBox();
  ASSERT_TRUE(question);
  program.Answer(*question, IDOK);
  FinishApply(program);
  EXPECT_EQ(program.WaitForExit(), 0u);
  EXPECT_EQ(DeviceNumber(1, L"SendEnabled"), 1u);
  EXPECT_EQ(DeviceNumber(1, L"Saves"), 0u);
  EXPECT_EQ(DeviceNumber(2, L"ReceiveMode"), 0u);
}

TEST_F(ConfigFaxServerTest, FaxServerFailureIsShownAndTheSettingsAreSaved) {
  InjectFailure(L"Connect", E_ACCESSDENIED, L"Access denied by the fax server");
  ConfigProgram program;
  program.SetText(IDC_NOTIFY_ADDRESS, "changed@example.com");
  program.PressOk();
  ExpectMessage(program, "Failed to enable CorviskFSP: Access denied by the fax server", MB_ICONERROR);
  EXPECT_EQ(program.WaitForExit(), 0u);
  EXPECT_EQ(Setting("NotifyMeEMailAddress"), "changed@example.com");
}

TEST_F(ConfigFaxServerTest, BannerIsWrittenOnlyOnceTheMiscellaneousPageHasReadIt) {
  ConfigProgram program;
  program.PressApply();
  FinishApply(program);
  ASSERT_TRUE(WaitFor([] { return ConnectCount() == 1; })) << "the apply did not reach the fax server";
  EXPECT_EQ(QueueNumber(L"QueueSaves"), 0u);
  program.SelectPage(3);
  EXPECT_FALSE(program.Checked(IDC_LOCAL_BANNER));
  program.SetCheck(IDC_LOCAL_BANNER, true);
  program.PressApply();
  FinishApply(program);
  EXPECT_TRUE(WaitFor([] { return QueueNumber(L"QueueSaves") == 1; }));
  EXPECT_EQ(QueueNumber(L"Branding"), 1u);
}

TEST_F(ConfigFaxServerTest, FailedBannerReadIsTriedAgainOnTheNextVisit) {
  InjectFailure(L"get_Branding", E_FAIL, nullptr, 0, 1);
  ConfigProgram program;
  program.SelectPage(3);
  program.SetCheck(IDC_LOCAL_BANNER, true);
  program.PressApply();
  FinishApply(program);
  ASSERT_TRUE(WaitFor([] { return ConnectCount() >= 2; })) << "the apply did not reach the fax server";
  EXPECT_EQ(QueueNumber(L"QueueSaves"), 0u) << "a banner never read was written";
  program.SelectPage(0);
  program.SelectPage(3);
  EXPECT_FALSE(program.Checked(IDC_LOCAL_BANNER)) << "the second visit did not read the banner";
  program.SetCheck(IDC_LOCAL_BANNER, true);
  program.PressApply();
  FinishApply(program);
  EXPECT_TRUE(WaitFor([] { return QueueNumber(L"QueueSaves") == 1; }));
  EXPECT_EQ(QueueNumber(L"Branding"), 1u);
}

TEST_F(ConfigFaxServerTest, LegacyPlatformUsesThePortsOfTheOldFaxServer) {
  SeedPort(1, L"Modem", 1, 1);
  SeedPort(2, L"CorviskFSP0", 0, 1);
  ConfigProgram program({"5.0"});
  program.PressOk();
  FinishApply(program);
  EXPECT_EQ(program.WaitForExit(), 0u);
  EXPECT_EQ(PortNumber(1, L"Send"), 0u);
  EXPECT_EQ(PortNumber(2, L"Send"), 1u);
}

}  // namespace
}  // namespace corvisk::test
