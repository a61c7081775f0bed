// The Mail Server page's buttons: Retrieve SMTP Server, and Test Mail on
// both transports to the real gateway mail servers, with the sheet held
// while a test mail is under way.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "ConfigFixture.h"
#include "GatewayMailbox.h"
#include "Screenshot.h"
#include "SettingsKey.h"
#include "win32/SystemMessage.h"

namespace corvisk::test {
namespace {

constexpr int kMailServerPage = 1;
constexpr int kAdvancedPage = 2;
constexpr char kAddress[] = "fax.admin@example.com";
constexpr char kQuestion[] =
    "Test email will be sent to your notification email address using the specified mail server.\r\nPlease press OK "
    "to proceed, Cancel to quit.";
constexpr char kSent[] = "Test email has been sent successfully to fax.admin@example.com";
constexpr char kCdoBody[] = "Thank you for using CorviskFSP ver 3.0.1\r\n";

class ConfigTestMailTest : public ConfigProgramTest {
 protected:
  void SetUp() override {
    ConfigProgramTest::SetUp();
    open_.ClearMailbox();
  }

  // The Mail Server page names that gateway server of the fixture.
  static void UseServer(const GatewayServer& server, int timeoutSeconds = 10) {
    WriteSetting("SMTPServer", "127.0.0.1");
    WriteSetting("SMTPPort", std::to_string(server.Port()));
    WriteSetting("SMTPTimeout", std::to_string(timeoutSeconds));
  }

  static void CheckNtlm(ConfigProgram& program) {
    program.SelectPage(kAdvancedPage);
    program.SetCheck(IDC_NTLM, true);
  }

  // Presses Test Mail on the Mail Server page and confirms the question.
  static void StartTestMail(ConfigProgram& program) {
    program.SelectPage(kMailServerPage);
    program.Click(IDC_TEST_MAIL);
    ExpectMessage(program, kQuestion, MB_ICONQUESTION, IDOK);
  }

  // The text of the one message the open server received from and to the
  // notify address; the CDO path writes a body, the helper server none.
  std::string OnlyMessageBody() const {
    const std::vector<ReceivedMessage> received = open_.Received();
    EXPECT_EQ(received.size(), 1u);
    if (received.size() != 1) return "(no single message)";
    const ReceivedMessage& message = received[0];
    EXPECT_EQ(message.mailFrom, kAddress);
    EXPECT_EQ(message.Header("To"), kAddress);
    EXPECT_EQ(message.Header("From"), kAddress);
    EXPECT_EQ(message.Header("Subject"), "CorviskFSP Mail Configuration Test");
    EXPECT_EQ(message.attachments, std::vector<std::string>{});
    return message.body;
  }

  // Nothing that closes, applies or starts other work can be clicked.
  static bool SheetHeld(const ConfigProgram& program) {
    return !program.Enabled(IDOK) && !program.Enabled(IDCANCEL) && !program.Enabled(IDC_APPLY_NOW) &&
           !IsWindowEnabled(GetDlgItem(program.CurrentPage(), IDC_TEST_MAIL)) &&
           !IsWindowEnabled(GetDlgItem(program.CurrentPage(), IDC_RETRIEVE_SMTP));
  }

  static bool SheetFree(const ConfigProgram& program) {
    return program.Enabled(IDOK) && program.Enabled(IDCANCEL) &&
           IsWindowEnabled(GetDlgItem(program.CurrentPage(), IDC_TEST_MAIL)) &&
           IsWindowEnabled(GetDlgItem(program.CurrentPage(), IDC_RETRIEVE_SMTP));
  }

  // Starts a test mail through the helper server to a server that never
  // answers, and waits until the helper server has reached it.
  static void StartHeldTestMail(ConfigProgram& program, const GatewayServer& silent) {
    const size_t connections = silent.Connections();
    CheckNtlm(program);
    StartTestMail(program);
    for (int i = 0; i < 100 && silent.Connections() == connections; ++i) Sleep(100);
    ASSERT_GT(silent.Connections(), connections) << "the helper server did not reach the mail server";
  }

  GatewayServer open_{"open"};
};

TEST_F(ConfigTestMailTest, RetrieveFillsTheServerFieldFromTheNotifyAddress) {
  WriteSetting("NotifyMeEMailAddress", "  someone@GMAIL.com ");
  ConfigProgram program;
  program.SelectPage(kMailServerPage);
  program.Click(IDC_RETRIEVE_SMTP);
  EXPECT_TRUE(program.NoMessageBox(1500));
  EXPECT_EQ(program.Text(IDC_SMTP_SERVER), "smtp.gmail.com");
}

TEST_F(ConfigTestMailTest, RetrieveWithoutAnAtSignSaysSoAndKeepsTheServer) {
  WriteSetting("NotifyMeEMailAddress", "fax.admin");
  ConfigProgram program;
  program.SelectPage(kMailServerPage);
  program.Click(IDC_RETRIEVE_SMTP);
  ExpectMessage(program, "Invalid notify e-mail address", MB_ICONERROR);
  EXPECT_EQ(program.Text(IDC_SMTP_SERVER), "mail.example.com");
}

// Regression: the test mail went to every address of a list typed as the
// notify address.
TEST_F(ConfigTestMailTest, AddressListIsRefusedBeforeTheQuestion) {
  UseServer(open_);
  WriteSetting("NotifyMeEMailAddress", "fax.admin@example.com;attacker@evil.example");
  ConfigProgram program;
  program.SelectPage(kMailServerPage);
  program.Click(IDC_TEST_MAIL);
  const auto box = program.WaitForMessageBox();
  ASSERT_TRUE(box);
  if (!ScreenshotFolder().empty()) TakePicture(box->window, L"test-mail-address-list.png");
  EXPECT_EQ(box->text, "Invalid notify e-mail address: it contains \";\"");
  EXPECT_EQ(box->style & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  program.Answer(*box, IDOK);
  EXPECT_TRUE(SheetFree(program));
  EXPECT_TRUE(open_.Received().empty());
}

TEST_F(ConfigTestMailTest, CancelAtTheQuestionSendsNothing) {
  UseServer(open_);
  ConfigProgram program;
  program.SelectPage(kMailServerPage);
  program.Click(IDC_TEST_MAIL);
  ExpectMessage(program, kQuestion, MB_ICONQUESTION, IDCANCEL);
  EXPECT_TRUE(program.NoMessageBox(1000));
  EXPECT_TRUE(SheetFree(program));
  EXPECT_TRUE(open_.Received().empty());
}

TEST_F(ConfigTestMailTest, LocalPickupReportsSuccessAndFreesTheSheet) {
  WriteSetting("SMTPServer", "<local>");
  ConfigProgram program;
  StartTestMail(program);
  ExpectMessage(program, kSent, 0);
  EXPECT_TRUE(SheetFree(program));
  EXPECT_NE(FindPickedUpMessage(std::string("To: ") + kAddress), "");
}

TEST_F(ConfigTestMailTest, TestMailGoesThroughCdoWithoutNtlm) {
  if (RunsUnderWow64()) GTEST_SKIP() << "under WOW64 every test mail goes through the helper server";
  UseServer(open_);
  ConfigProgram program;
  StartTestMail(program);
  ExpectMessage(program, kSent, 0);
  EXPECT_EQ(OnlyMessageBody(), kCdoBody);
}

TEST_F(ConfigTestMailTest, TestMailGoesThroughTheHelperServerWithNtlm) {
  UseServer(open_);
  ConfigProgram program;
  CheckNtlm(program);
  StartTestMail(program);
  ExpectMessage(program, kSent, 0);
  EXPECT_EQ(OnlyMessageBody(), "");
}

// The provider under WOW64 sends through the helper server; so does the test.
TEST_F(ConfigTestMailTest, TestMailUnderWow64GoesThroughTheHelperServerWithoutNtlm) {
  UseServer(open_);
  ConfigProgram program({"", true});
  StartTestMail(program);
  ExpectMessage(program, kSent, 0);
  EXPECT_EQ(OnlyMessageBody(), "");
}

TEST_F(ConfigTestMailTest, UnregisteredHelperServerIsReportedAndTheSheetFreed) {
  UseServer(open_);
  RegisterHelperServer(L"QuendrySuppEmail", false);
  ConfigProgram program;
  CheckNtlm(program);
  StartTestMail(program);
  const auto box = program.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->style & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(box->text, StandardMessage(REGDB_E_CLASSNOTREG));
  program.Answer(*box, IDOK);
  EXPECT_TRUE(SheetFree(program));
  EXPECT_TRUE(open_.Received().empty());
}

TEST_F(ConfigTestMailTest, ErrorOfTheCdoPathIsShown) {
  WriteSetting("SMTPServer", "127.0.0.1");
  WriteSetting("SMTPPort", "1");  // tcpmux: nothing listens there
  ConfigProgram program;
  StartTestMail(program);
  const auto box = program.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->style & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(box->text.rfind("error 0x80040213 ", 0), 0u) << box->text;
  EXPECT_NE(box->text.find("127.0.0.1 port 1 "), std::string::npos) << box->text;
  program.Answer(*box, IDOK);
  EXPECT_TRUE(SheetFree(program));
}

// Sent, not posted: the interface thread's wait for the helper server
// answers sent messages, so the window handles them during the test mail.
void SendWhileHeld(HWND window, UINT message, WPARAM wParam, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 3000, &result);
}

// A server that never answers holds the test mail for its time-out. On a
// platform whose COM apartment is single-threaded, the call to the helper
// server dispatches the sheet's messages while it waits for the server: the
// close box, OK, Cancel, Apply Now, Retrieve and a change of page must do
// nothing then, and Apply Now, lit before, is lit again afterwards.
TEST_F(ConfigTestMailTest, SlowServerHoldsTheSheetUntilTheTestEnds) {
  const GatewayServer silent("silent");
  UseServer(silent, 6);
  // Retrieve would find the webmail host without asking DNS.
  WriteSetting("NotifyMeEMailAddress", "nobody@gmail.com");
  ConfigProgram program({"5.1"});
  StartHeldTestMail(program, silent);
  const HWND page = program.CurrentPage();
  EXPECT_TRUE(SheetHeld(program));
  program.ClickWithMouse(IDOK);
  program.ClickWithMouse(IDCANCEL);
  program.ClickWithMouse(IDC_APPLY_NOW);
  SendWhileHeld(program.Sheet(), WM_SYSCOMMAND, SC_CLOSE);
  for (const int button : {IDOK, IDCANCEL, IDC_APPLY_NOW}) SendWhileHeld(program.Sheet(), WM_COMMAND, button);
  SendWhileHeld(page, WM_COMMAND, IDC_RETRIEVE_SMTP, reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_RETRIEVE_SMTP)));
  SendWhileHeld(program.Sheet(), PSM_SETCURSEL, 0);
  EXPECT_TRUE(program.NoMessageBox(500)) << "a click during the test mail started other work";
  EXPECT_TRUE(SheetHeld(program));
  const auto box = program.WaitForMessageBox(20000);
  ASSERT_TRUE(box) << "the test mail did not end";
  EXPECT_EQ(box->style & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR)) << box->text;
  program.Answer(*box, IDOK);
  EXPECT_TRUE(IsWindow(program.Sheet()));
  EXPECT_EQ(program.CurrentPage(), page);
  EXPECT_TRUE(SheetFree(program));
  EXPECT_TRUE(program.Enabled(IDC_APPLY_NOW));
  EXPECT_EQ(program.Text(IDC_SMTP_SERVER), "127.0.0.1") << "Retrieve ran during the test mail";
  EXPECT_FALSE(program.WaitForExit(1000)) << "a click during the test mail closed the sheet";
  EXPECT_FALSE(Setting("NTLMAuthentication")) << "a click during the test mail applied the settings";
  // The same click on the freed sheet does close it.
  program.ClickWithMouse(IDCANCEL);
  EXPECT_EQ(program.WaitForExit(), 0u);
}

// From version 6 the test mail runs in the multithreaded apartment, where
// the interface thread waits for the helper server without dispatching
// anything; the fax server calls of the Miscellaneous page must not have left
// the thread in a single-threaded one.
TEST_F(ConfigTestMailTest, TestMailOnVersion6AfterTheMiscellaneousPageDispatchesNothing) {
  const GatewayServer silent("silent");
  UseServer(silent, 4);
  ConfigProgram program({"6.1"});
  program.SelectPage(3);
  StartHeldTestMail(program, silent);
  DWORD_PTR answer = 0;
  EXPECT_FALSE(SendMessageTimeoutA(program.Sheet(), WM_NULL, 0, 0, SMTO_BLOCK, 1000, &answer))
      << "the sheet answered during the test mail: a single-threaded apartment";
  const auto box = program.WaitForMessageBox(20000);
  ASSERT_TRUE(box) << "the test mail did not end";
  program.Answer(*box, IDOK);
  EXPECT_TRUE(SheetFree(program));
}

}  // namespace
}  // namespace corvisk::test
