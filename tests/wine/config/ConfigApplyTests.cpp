// Validation when a page is left or OK or Apply is pressed, and the apply
// run: one per press, the registry save, the use-only confirmation.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "ConfigFixture.h"
#include "HiddenFile.h"
#include "RegistrationSupport.h"
#include "SettingsKey.h"
#include "win32/SystemMessage.h"

namespace corvisk::test {
namespace {

using ConfigValidationTest = ConfigProgramTest;
using ConfigApplyTest = ConfigProgramTest;

constexpr char kQuendrySuppEmailStartFailed[] =
    "Failed to start QuendrySuppEmail -RegServer.\r\nThis service facilitates 'NTLM Authentication for "
    "Exchange'.\r\nPlease start command prompt as Administrator, navigate to Windows System directory and "
    "run\r\nQuendrySuppEmail.exe -RegServer\r\nto register this service";

// The page stays, and the focus is on the control that failed.
void ExpectStaysOn(ConfigProgram& program, int control) {
  const HWND page = program.CurrentPage();
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(GetWindowThreadProcessId(program.Sheet(), nullptr), &gui);
  EXPECT_EQ(gui.hwndFocus, GetDlgItem(page, control));
}

TEST_F(ConfigValidationTest, NotifyAddressOfBlanksIsEmpty) {
  ConfigProgram program;
  program.SetText(IDC_NOTIFY_ADDRESS, " \t \t");
  program.SelectPage(1);
  ExpectMessage(program, "Notify email address must not be empty", MB_ICONERROR);
  EXPECT_NE(GetDlgItem(program.CurrentPage(), IDC_NOTIFY_ADDRESS), nullptr);
  EXPECT_EQ(program.Text(IDC_NOTIFY_ADDRESS), " \t \t");
}

TEST_F(ConfigValidationTest, EmptyGatewayPasswordKeepsTheMainPage) {
  ConfigProgram program;
  const HWND main = program.CurrentPage();
  program.SetText(IDC_GATEWAY_PASSWORD, "");
  program.PressOk();
  ExpectMessage(program, "Corvisk password must not be empty", MB_ICONERROR);
  EXPECT_EQ(program.CurrentPage(), main);
  EXPECT_EQ(Setting("CorviskPwd"), "gateway-secret");
}

TEST_F(ConfigValidationTest, PortRangeIsZeroTo9999) {
  ConfigProgram program;
  program.SelectPage(1);
  program.SetText(IDC_SMTP_PORT, "10000");
  program.SelectPage(2);
  ExpectMessage(program, "Please enter an integer between 0 and 9999.", MB_ICONEXCLAMATION);
  ExpectStaysOn(program, IDC_SMTP_PORT);
  program.SetText(IDC_SMTP_PORT, "0");
  program.SelectPage(2);
  EXPECT_TRUE(program.NoMessageBox());
  EXPECT_NE(GetDlgItem(program.CurrentPage(), IDC_NTLM), nullptr);
}

TEST_F(ConfigValidationTest, TimeoutZeroAndTextAreRefused) {
  ConfigProgram program;
  program.SelectPage(1);
  program.SetText(IDC_SMTP_TIMEOUT, "0");
  program.SelectPage(2);
  ExpectMessage(program, "Please enter an integer between 1 and 3600.", MB_ICONEXCLAMATION);
  ExpectStaysOn(program, IDC_SMTP_TIMEOUT);
  program.SetText(IDC_SMTP_TIMEOUT, "30s");
  program.SelectPage(2);
  ExpectMessage(program, "Please enter an integer.", MB_ICONEXCLAMATION);
}

TEST_F(ConfigValidationTest, ServerNameOf64CharactersIsTooLongAndAccountOf100Fits) {
  ConfigProgram program;
  program.SelectPage(1);
  program.SetText(IDC_SMTP_ACCOUNT, std::string(100, 'a'));
  program.SetText(IDC_SMTP_PASSWORD, "pw");
  // The edit control holds at most 63 characters; a longer text can only
  // arrive by a message, as here, and is still refused.
  program.SetText(IDC_SMTP_SERVER, std::string(64, 's'));
  program.SelectPage(2);
  ExpectMessage(program, "Please enter no more than 63 characters.", MB_ICONEXCLAMATION);
  ExpectStaysOn(program, IDC_SMTP_SERVER);
  program.SetText(IDC_SMTP_SERVER, std::string(63, 's'));
  program.SelectPage(2);
  EXPECT_TRUE(program.NoMessageBox());
}

TEST_F(ConfigValidationTest, PasswordNeedsAnAccountExceptForLocalPickup) {
  ConfigProgram program;
  program.SelectPage(1);
  program.SetText(IDC_SMTP_PASSWORD, "pw");
  program.SelectPage(2);
  ExpectMessage(program, "SMTP name must not be empty if SMTP password is specified", MB_ICONERROR);
  program.SetText(IDC_SMTP_SERVER, "<LOCAL>");
  program.SelectPage(2);
  ExpectMessage(program, "SMTP name must not be empty if SMTP password is specified", MB_ICONERROR);
  program.SetText(IDC_SMTP_SERVER, "<local>");
  program.SelectPage(2);
  EXPECT_TRUE(program.NoMessageBox());
}

TEST_F(ConfigValidationTest, EmptyServerIsRefusedOnThePage) {
  ConfigProgram program;
  program.SelectPage(1);
  program.SetText(IDC_SMTP_SERVER, "");
  program.SelectPage(0);
  ExpectMessage(program, "SMTP server must not be empty", MB_ICONERROR);
}

TEST_F(ConfigValidationTest, AccountOf128AndPasswordOf64CharactersAreTooLong) {
  ConfigProgram program;
  program.SelectPage(1);
  program.SetText(IDC_SMTP_ACCOUNT, std::string(128, 'a'));
  program.SelectPage(2);
  ExpectMessage(program, "Please enter no more than 127 characters.", MB_ICONEXCLAMATION);
  ExpectStaysOn(program, IDC_SMTP_ACCOUNT);
  program.SetText(IDC_SMTP_ACCOUNT, std::string(127, 'a'));
  program.SetText(IDC_SMTP_PASSWORD, std::string(64, 'p'));
  program.SelectPage(2);
  ExpectMessage(program, "Please enter no more than 63 characters.", MB_ICONEXCLAMATION);
  ExpectStaysOn(program, IDC_SMTP_PASSWORD);
}

// Every page marked unchanged, as after a successful apply.
void MarkAllUnchanged(const ConfigProgram& program) {
  for (int index = 0; index < 4; ++index)
    SendMessageA(program.Sheet(), PSM_UNCHANGED, SendMessageA(program.Sheet(), PSM_INDEXTOHWND, index, 0), 0);
}

// Apply Now is lit by the user's edits only: not by the pages loading their
// fields, not by the gateway password, and by a server that Retrieve found.
TEST_F(ConfigApplyTest, ApplyNowLightsForEveryEditThatMarksItsPageChanged) {
  ConfigProgram program;
  for (int page = 3; page >= 0; --page) program.SelectPage(page);
  EXPECT_FALSE(program.Enabled(IDC_APPLY_NOW)) << "loading the pages lit Apply Now";
  program.SetText(IDC_GATEWAY_PASSWORD, "another-secret");
  EXPECT_FALSE(program.Enabled(IDC_APPLY_NOW)) << "the gateway password lit Apply Now";
  const struct {
    int page, control;
  } modifying[] = {{0, IDC_GATEWAY_DOMAIN}, {0, IDC_NOTIFY_ADDRESS}, {1, IDC_SMTP_SERVER},
                   {1, IDC_SMTP_PORT},      {1, IDC_SMTP_TIMEOUT},   {1, IDC_SMTP_ACCOUNT},
                   {1, IDC_SMTP_PASSWORD},  {2, IDC_NTLM},           {2, IDC_SSL},
                   {3, IDC_USE_ONLY},       {3, IDC_LOCAL_BANNER},   {3, IDC_GENERATE_LOG}};
  for (const auto& [page, control] : modifying) {
    if (page != PropSheet_HwndToIndex(program.Sheet(), program.CurrentPage())) program.SelectPage(page);
    MarkAllUnchanged(program);
    ASSERT_FALSE(program.Enabled(IDC_APPLY_NOW)) << control;
    char kind[16] = "";
    GetClassNameA(GetDlgItem(program.CurrentPage(), control), kind, sizeof kind);
    if (lstrcmpiA(kind, "Button") == 0)
      program.SetCheck(control, !program.Checked(control));
    else
      program.SetText(control, control == IDC_SMTP_PORT || control == IDC_SMTP_TIMEOUT ? "30" : "x@gmail.com");
    EXPECT_TRUE(program.Enabled(IDC_APPLY_NOW)) << "control " << control << " did not light Apply Now";
  }
  program.SelectPage(1);
  MarkAllUnchanged(program);
  program.Click(IDC_RETRIEVE_SMTP);
  EXPECT_TRUE(program.NoMessageBox(1000));
  EXPECT_EQ(program.Text(IDC_SMTP_SERVER), "smtp.gmail.com");
  EXPECT_TRUE(program.Enabled(IDC_APPLY_NOW)) << "the retrieved server did not light Apply Now";
}

TEST_F(ConfigApplyTest, OkSavesEveryValueInItsStoredForm) {
  ConfigProgram program;
  program.SetText(IDC_NOTIFY_ADDRESS, "  new.admin@example.com\t");
  program.SelectPage(1);
  program.SetText(IDC_SMTP_SERVER, "smtp.example.net");
  program.SetText(IDC_SMTP_PORT, " 587 ");
  program.SetText(IDC_SMTP_ACCOUNT, "relay");
  program.SetText(IDC_SMTP_PASSWORD, "pa55");
  program.SelectPage(2);
  program.SetCheck(IDC_SSL, true);
  program.SelectPage(3);
  program.SetCheck(IDC_GENERATE_LOG, true);
  program.PressOk();
  FinishApply(program);
  EXPECT_EQ(program.WaitForExit(), 0u);
  EXPECT_EQ(Setting("SMTPServer"), "smtp.example.net");
  EXPECT_EQ(Setting("SMTPUserName"), "relay");
  EXPECT_EQ(Setting("SMTPPasswordEnc"), "70613535");
  EXPECT_EQ(Setting("NotifyMeEMailAddress"), "new.admin@example.com");
  EXPECT_EQ(Setting("CorviskPwd"), "gateway-secret");
  EXPECT_EQ(Setting("DebugOutput"), "Y");
  EXPECT_EQ(Setting("NTLMAuthentication"), "N");
  EXPECT_EQ(Setting("UseSSL"), "Y");
  EXPECT_EQ(Setting("SMTPPort"), "587");
  EXPECT_EQ(Setting("SMTPTimeout"), "10");
  EXPECT_FALSE(Setting("SMTPPassword"));
}

// Every created page gets the apply notification; the checks run once per
// press, which the one "Failed to start" message per press shows.
// The registry refuses the last value: every value before it is written, in
// the fixed order, and stays written.
TEST_F(ConfigApplyTest, SaveWritesInOrderAndKeepsWhatWasWrittenBeforeAFailure) {
  ConfigProgram program({"", false, false, "SMTPTimeout"});
  program.SetText(IDC_NOTIFY_ADDRESS, "changed@example.com");
  program.PressApply();
  ExpectMessage(program, "Failed to save data into registry: " + SystemMessageText(ERROR_ACCESS_DENIED), MB_ICONERROR);
  const std::vector<std::string> order = {"SMTPServer", "SMTPUserName", "SMTPPasswordEnc",    "NotifyMeEMailAddress",
                                          "CorviskPwd", "DebugOutput",  "NTLMAuthentication", "UseSSL",
                                          "SMTPPort",   "SMTPTimeout"};
  EXPECT_EQ(program.WrittenValues(), order);
  EXPECT_EQ(Setting("NotifyMeEMailAddress"), "changed@example.com");
  EXPECT_EQ(Setting("SMTPPort"), "2525");
  EXPECT_FALSE(Setting("SMTPTimeout"));
  EXPECT_TRUE(IsWindow(program.Sheet()));
}

TEST_F(ConfigApplyTest, OneRunPerPressWithAllPagesCreated) {
  RegisterHelperServer(L"QuendrySuppEmail", false);
  const HiddenFile installed(InstalledServer(L"QuendrySuppEmail"));
  ConfigProgram program;
  for (int page = 1; page < 5; ++page) program.SelectPage(page);
  program.SelectPage(0);
  for (int press = 0; press < 2; ++press) {
    program.PressApply();
    ExpectShellFileNotFound(program);
    const auto box = program.WaitForMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, ProgramSystemFolder() + "\\QuendrySuppEmail.exe");
    EXPECT_EQ(box->text, kQuendrySuppEmailStartFailed);
    EXPECT_EQ(box->style & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
    program.Answer(*box, IDOK);
    FinishApply(program);
    EXPECT_TRUE(program.NoMessageBox(1000));
  }
  EXPECT_TRUE(IsWindow(program.Sheet()));
}

TEST_F(ConfigApplyTest, MissingSettingsKeyFailsEveryApplyAndIsNeverCreated) {
  DeleteSettingsKey();
  const std::string failure = "Failed to open registry key: " + SystemMessageText(ERROR_FILE_NOT_FOUND);
  ConfigProgram program;
  program.SetText(IDC_NOTIFY_ADDRESS, "fax.admin@example.com");
  program.SetText(IDC_GATEWAY_PASSWORD, "pw");
  for (int press = 0; press < 2; ++press) {
    program.PressApply();
    ExpectMessage(program, failure, MB_ICONERROR);
  }
  program.PressOk();
  ExpectMessage(program, failure, MB_ICONERROR);
  EXPECT_TRUE(IsWindow(program.Sheet()));
  EXPECT_FALSE(KeyExists(MachineKey{L"SOFTWARE\\Mervale\\CorviskFSP", 0}));
}

TEST_F(ConfigApplyTest, UseOnlyUncheckedAsksAtEveryPressAndCancelKeepsTheSheet) {
  ConfigProgram program;
  program.SelectPage(3);
  program.SetCheck(IDC_USE_ONLY, false);
  const std::string question =
      "Are you sure you do not want to enable CorviskFSP as your only FAX device for send operations? If you press "
      "OK, you will need to enable it manually";
  program.SetCheck(IDC_GENERATE_LOG, true);
  program.PressOk();
  ExpectMessage(program, question, MB_ICONQUESTION, IDCANCEL);
  EXPECT_TRUE(program.NoMessageBox(1000));
  EXPECT_TRUE(IsWindow(program.Sheet()));
  EXPECT_EQ(Setting("DebugOutput"), "Y");
  program.PressApply();
  ExpectMessage(program, question, MB_ICONQUESTION, IDOK);
  FinishApply(program);
  EXPECT_TRUE(IsWindow(program.Sheet()));
}

// A server field left empty (the registry held an empty value and the page
// was never shown) is filled by discovery; here the address has no domain,
// so discovery fails, says so, and the apply ends before the save.
TEST_F(ConfigApplyTest, EmptyServerAtApplyStartsDiscovery) {
  WriteSetting("SMTPServer", "");
  WriteSetting("NotifyMeEMailAddress", "no-domain");
  ConfigProgram program;
  program.PressApply();
  ExpectMessage(program, "Invalid notify e-mail address", MB_ICONERROR);
  EXPECT_TRUE(program.NoMessageBox(1000));
  EXPECT_FALSE(Setting("SMTPPort"));
}

TEST_F(ConfigApplyTest, DiscoveryFillsTheEmptyServerWithTheWebmailHost) {
  WriteSetting("SMTPServer", "");
  WriteSetting("NotifyMeEMailAddress", "someone@GMAIL.com");
  ConfigProgram program;
  program.PressOk();
  FinishApply(program);
  EXPECT_EQ(program.WaitForExit(), 0u);
  EXPECT_EQ(Setting("SMTPServer"), "smtp.gmail.com");
}

}  // namespace
}  // namespace corvisk::test
