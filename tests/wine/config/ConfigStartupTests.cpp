// Start-up of the configuration program: what the pages show from the
// registry, the administrator notice, and the single instance.
#include "ConfigFixture.h"
#include "SettingsKey.h"

namespace corvisk::test {
namespace {

using ConfigStartupTest = ConfigProgramTest;

TEST_F(ConfigStartupTest, PagesShowTheStoredSettings) {
  WriteSetting("SMTPUserName", "relay-user");
  WriteSetting("SMTPPasswordEnc", "736563726574");  // "secret"
  WriteSetting("NotifyMeEMailAddress", " \tfax.admin@example.com\t ");
  WriteSetting("SMTPPort", "587");
  WriteSetting("SMTPTimeout", "45");
  WriteSetting("DebugOutput", "yes");
  WriteSetting("PreProcessCmd", "convert %s %s");
  WriteSetting("InternationalRulePrefix", "00");
  ConfigProgram program;
  EXPECT_EQ(program.Text(IDC_GATEWAY_DOMAIN), CORVISK_EXPECTED_GATEWAY_DOMAIN);
  EXPECT_EQ(program.Text(IDC_NOTIFY_ADDRESS), "fax.admin@example.com");
  EXPECT_EQ(program.Text(IDC_GATEWAY_PASSWORD), "gateway-secret");
  EXPECT_EQ(program.Text(IDC_NOTIFY_LABEL), "Notify Me Email Address");
  program.SelectPage(1);
  EXPECT_EQ(program.Text(IDC_SMTP_SERVER), "mail.example.com");
  EXPECT_EQ(program.Text(IDC_SMTP_PORT), "587");
  EXPECT_EQ(program.Text(IDC_SMTP_TIMEOUT), "45");
  EXPECT_EQ(program.Text(IDC_SMTP_ACCOUNT), "relay-user");
  EXPECT_EQ(program.Text(IDC_SMTP_PASSWORD), "secret");
  program.SelectPage(3);
  EXPECT_TRUE(program.Checked(IDC_GENERATE_LOG));
  EXPECT_TRUE(program.Checked(IDC_USE_ONLY));
  EXPECT_EQ(program.Text(IDC_PREPROCESS_LINE), "PreProcessCmd: convert %s %s");
  EXPECT_EQ(program.Text(IDC_PREFIX_LINE), "CorviskFSP will remove international call prefix: 00");
}

TEST_F(ConfigStartupTest, MissingValuesKeepTheDefaultsAndThePlainPasswordIsTheFallback) {
  WriteSetting("SMTPPassword", "plain-old");
  WriteSetting("SMTPPort", "not a number");
  ConfigProgram program;
  program.SelectPage(1);
  EXPECT_EQ(program.Text(IDC_SMTP_PORT), "2525");
  EXPECT_EQ(program.Text(IDC_SMTP_TIMEOUT), "10");
  EXPECT_EQ(program.Text(IDC_SMTP_PASSWORD), "plain-old");
  program.SelectPage(3);
  EXPECT_EQ(program.Text(IDC_PREPROCESS_LINE), "");
  EXPECT_EQ(program.Text(IDC_PREFIX_LINE), "");
}

TEST_F(ConfigStartupTest, UseSslIsNotLoadedUnderNtlm) {
  WriteSetting("NTLMAuthentication", "Y");
  WriteSetting("UseSSL", "Y");
  ConfigProgram program;
  program.SelectPage(2);
  EXPECT_TRUE(program.Checked(IDC_NTLM));
  EXPECT_FALSE(program.Checked(IDC_SSL));
}

TEST_F(ConfigStartupTest, NotifyLabelNamesTheDefaultOnServerEditionsFrom52) {
  ConfigProgram server({"5.2-server"});
  EXPECT_EQ(server.Text(IDC_NOTIFY_LABEL), "Notify Me Email Address (default)");
}

TEST_F(ConfigStartupTest, AdministratorNoticeShowsOnceTheSheetIsUp) {
  ConfigProgram program({"6.1", false, true});
  ExpectMessage(program,
                "Only Administrator can modify the CorviskFSP configuration. Please restart the applet using Shift and "
                "right mouse click and selecting 'Run as Administrator' drop-down menu option.",
                MB_ICONERROR);
  EXPECT_TRUE(IsWindow(program.Sheet()));
}

TEST_F(ConfigStartupTest, NoAdministratorNoticeBefore60) {
  ConfigProgram program({"5.1", false, true});
  EXPECT_TRUE(program.NoMessageBox());
}

TEST_F(ConfigStartupTest, SecondStartBringsTheRestoredSheetToTheFrontAndExits) {
  ConfigProgram first;
  ShowWindow(first.Sheet(), SW_MINIMIZE);
  for (int i = 0; i < 40 && !IsIconic(first.Sheet()); ++i) Sleep(50);
  ASSERT_TRUE(IsIconic(first.Sheet()));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring line = L"\"" + ConfigProgramPath() + L"\"";
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  const unique_handle process(info.hProcess), thread(info.hThread);
  ASSERT_EQ(WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0) << "the second instance did not end";
  DWORD code = ~0u;
  GetExitCodeProcess(process.get(), &code);
  EXPECT_EQ(code, 0u);
  for (int i = 0; i < 100 && (IsIconic(first.Sheet()) || GetForegroundWindow() != first.Sheet()); ++i) Sleep(50);
  EXPECT_FALSE(IsIconic(first.Sheet()));
  EXPECT_EQ(GetForegroundWindow(), first.Sheet());
}

TEST_F(ConfigStartupTest, SecondStartBringsTheOpenMessageBoxToTheFront) {
  ConfigProgram first({"6.1", false, true});
  const auto notice = first.WaitForMessageBox();
  ASSERT_TRUE(notice);
  SetForegroundWindow(GetDesktopWindow());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring line = L"\"" + ConfigProgramPath() + L"\"";
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  const unique_handle process(info.hProcess), thread(info.hThread);
  ASSERT_EQ(WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0);
  for (int i = 0; i < 100 && GetForegroundWindow() != notice->window; ++i) Sleep(50);
  EXPECT_EQ(GetForegroundWindow(), notice->window);
  first.Answer(*notice, IDOK);
}

TEST_F(ConfigStartupTest, ClosingTheSheetEndsTheProgramAndItsWaiter) {
  ConfigProgram program;
  program.PressCancel();
  EXPECT_EQ(program.WaitForExit(), 0u);
  EXPECT_EQ(Setting("SMTPServer"), "mail.example.com");
}

}  // namespace
}  // namespace corvisk::test
