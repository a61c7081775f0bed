// The Mail Transport page: Microsoft 365 chosen, checked and saved, the
// secret protected before it reaches the registry.
#include <string>

#include "ConfigFixture.h"
#include "GatewayMailbox.h"
#include "SettingsKey.h"
#include "cloudmail/ProtectedData.h"
#include "settings/Settings.h"

namespace corvisk::test {
namespace {

using ConfigTransportTest = ConfigProgramTest;

constexpr int kTransportPage = 4;

std::string BinarySetting(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, &key)) return {};
  DWORD size = 0;
  std::string bytes;
  if (!RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size)) {
    bytes.resize(size);
    RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(bytes.data()), &size);
  }
  RegCloseKey(key);
  return bytes;
}

bool PageControlEnabled(const ConfigProgram& program, int control) {
  return IsWindowEnabled(GetDlgItem(program.CurrentPage(), control)) != FALSE;
}

TEST_F(ConfigTransportTest, Microsoft365IsCheckedThenSavedWithItsSecretProtected) {
  ConfigProgram program;
  program.SelectPage(kTransportPage);
  EXPECT_FALSE(PageControlEnabled(program, IDC_M365_TENANT))
      << "the mail server is the transport until Microsoft 365 is chosen";
  program.SetCheck(IDC_TRANSPORT_M365, true);
  EXPECT_TRUE(PageControlEnabled(program, IDC_M365_TENANT));
  program.SetText(IDC_M365_TENANT, "not a tenant!");
  program.SetText(IDC_M365_CLIENT, "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee");
  program.PressApply();
  ExpectMessage(program, "Microsoft 365 tenant must be the tenant's ID (a GUID) or one of its domain names",
                MB_ICONERROR);
  program.SetText(IDC_M365_TENANT, "contoso.onmicrosoft.com");
  program.SetText(IDC_M365_CLIENT, "aaaaaaaa-bbbb-cccc-dddd");
  program.PressApply();
  ExpectMessage(program,
                "Microsoft 365 application (client) ID must be a GUID, as the application registration shows it",
                MB_ICONERROR);
  program.SetText(IDC_M365_CLIENT, "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee");
  program.PressApply();
  ExpectMessage(program,
                "Microsoft 365 needs a credential: import a certificate (recommended) or enter a client secret",
                MB_ICONERROR);
  EXPECT_EQ(Setting("MailTransport"), std::nullopt) << "nothing is saved while a page refuses";

  program.SetText(IDC_M365_SECRET, "s3cret~value");
  program.SetText(IDC_M365_MAILBOX, "fax@contoso.com");
  program.PressApply();
  FinishApply(program);
  EXPECT_EQ(Setting("MailTransport"), "Microsoft365");
  EXPECT_EQ(Setting("M365TenantId"), "contoso.onmicrosoft.com");
  EXPECT_EQ(Setting("M365ClientId"), "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee");
  EXPECT_EQ(Setting("M365Mailbox"), "fax@contoso.com");
  EXPECT_EQ(Setting("M365AuthorityHost"), "login.microsoftonline.com");
  EXPECT_EQ(Setting("M365GraphHost"), "graph.microsoft.com");
  const std::string blob = BinarySetting("M365ClientSecret");
  EXPECT_EQ(blob.find("s3cret"), std::string::npos) << "the secret is never stored in clear";
  std::string secret;
  EXPECT_EQ(UnprotectSecret(blob, secret), 0u);
  EXPECT_EQ(secret, "s3cret~value");
  program.PressOk();
  EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST_F(ConfigTransportTest, SheetThatNeverChoseMicrosoft365WritesNoTransport) {
  ConfigProgram program;
  program.PressOk();
  FinishApply(program);
  EXPECT_EQ(program.WaitForExit(), 0u);
  EXPECT_EQ(Setting("MailTransport"), std::nullopt);
}

// Against the HTTPS stand-ins of tests/cloud/cloud-fixture, trusted through
// the run's test CA, which hand the message to the gateway mail server.
TEST_F(ConfigTransportTest, TestMailGoesThroughMicrosoft365AndNamesTheTokensRoles) {
  std::string port = ReadWholeFile(WinePath(std::string(CORVISK_CLOUD_FOLDER) + "/graph.port"));
  port.erase(port.find_last_not_of("\r\n") + 1);
  WriteSetting("MailTransport", "Microsoft365");
  WriteSetting("M365TenantId", "11111111-2222-3333-4444-555555555555");
  WriteSetting("M365ClientId", "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee");
  WriteSetting("M365Mailbox", "fax@example.com");
  WriteSetting("M365AuthorityHost", "localhost:" + port);
  WriteSetting("M365GraphHost", "localhost:" + port);
  ConfigProgram program;
  program.SelectPage(kTransportPage);
  EXPECT_TRUE(program.Checked(IDC_TRANSPORT_M365));
  program.SetText(IDC_M365_SECRET, "test-secret~1");
  program.Click(IDC_TEST_MAIL);
  ExpectMessage(program,
                "Test email will be sent to your notification email address using the specified mail server.\r\n"
                "Please press OK to proceed, Cancel to quit.",
                MB_ICONQUESTION);
  const auto box = program.WaitForMessageBox(30000);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text.rfind("Test email has been sent successfully to fax.admin@example.com through Microsoft 365."
                            "\r\nThe token expires ",
                            0),
            0u)
      << box->text;
  EXPECT_NE(box->text.find("UTC and carries the roles: Mail.Send, Mail.ReadWrite"), std::string::npos) << box->text;
  program.Answer(*box, IDOK);
  const auto message = FindBySubject(GatewayServer("open"), "CorviskFSP test mail through Microsoft 365");
  ASSERT_TRUE(message);
  EXPECT_EQ(message->mailFrom, "fax@example.com");
  EXPECT_EQ(message->recipients, std::vector<std::string>{"fax.admin@example.com"});
  program.PressCancel();
}

}  // namespace
}  // namespace corvisk::test
