// The Mail Transport page: Microsoft 365 and Google Workspace chosen,
// checked and saved, secrets protected before they reach the registry.
#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>

#include <nlohmann/json.hpp>
#include <string>

#include "CloudStandIns.h"
#include "ConfigFixture.h"
#include "GatewayMailbox.h"
#include "SettingsKey.h"
#include "cloudmail/ProtectedData.h"
#include "cloudmail/RsaSignature.h"
#include "settings/Settings.h"
#include "win32/AnsiText.h"

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

std::string CloudText(const char* name) {
  std::string text = ReadWholeFile(CloudFile(name));
  text.erase(text.find_last_not_of("\r\n") + 1);
  return text;
}

// A key file as Google's console hands it out, for the stand-in's account.
std::wstring TempFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = L"";
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

std::wstring WriteGoogleKeyFile(const std::string& tokenUri) {
  const nlohmann::json file = {{"type", "service_account"},
                               {"private_key", CloudText("google-key.pem") + "\n"},
                               {"client_email", "fax-sender@corvisk-fax.iam.gserviceaccount.com"},
                               {"token_uri", tokenUri}};
  const std::wstring path = TempFile(L"corvisk-page-key.json");
  const std::string text = file.dump(2);
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(handle);
  return path;
}

// Types path into the program's Open or Save dialog and presses its button.
void ChooseFileInOpenDialog(const char* title, const std::wstring& path) {
  const HWND dialog = WaitForWindow(title, 10000);
  ASSERT_NE(dialog, nullptr) << "no dialog " << title;
  HWND name = GetDlgItem(dialog, cmb13);
  if (!name) name = GetDlgItem(dialog, edt1);
  ASSERT_NE(name, nullptr);
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

TEST_F(ConfigTransportTest, Microsoft365IsCheckedThenSavedWithItsSecretProtected) {
  ConfigProgram program;
  program.SelectPage(kTransportPage);
  for (const int control : {IDC_M365_TENANT, IDC_M365_CREATE, IDC_M365_AUTHORITY_HOST})
    EXPECT_FALSE(PageControlEnabled(program, control))
        << control << ": the mail server is the transport until Microsoft 365 is chosen";
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
  EXPECT_EQ(program.Text(IDC_M365_SECRET), "") << "the typed secret stays on the page once it is stored";
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
  const std::string port = CloudText("graph.port");
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

TEST_F(ConfigTransportTest, HostsTypedInAreCheckedThenSaved) {
  ConfigProgram program;
  program.SelectPage(kTransportPage);
  program.SetCheck(IDC_TRANSPORT_M365, true);
  EXPECT_FALSE(PageControlEnabled(program, IDC_M365_AUTHORITY_HOST)) << "a listed cloud names its own hosts";
  EXPECT_EQ(program.Text(IDC_M365_GRAPH_HOST), "graph.microsoft.com");
  const HWND cloud = GetDlgItem(program.CurrentPage(), IDC_M365_CLOUD);
  SendMessageA(cloud, CB_SETCURSEL, 3, 0);
  SendMessageA(program.CurrentPage(), WM_COMMAND, MAKEWPARAM(IDC_M365_CLOUD, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(cloud));
  EXPECT_TRUE(PageControlEnabled(program, IDC_M365_AUTHORITY_HOST));
  program.SetText(IDC_M365_TENANT, "contoso.onmicrosoft.com");
  program.SetText(IDC_M365_CLIENT, "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee");
  program.SetText(IDC_M365_SECRET, "s3cret~value");
  const std::string invalid =
      "Microsoft 365 hosts must be host names (letters, digits, hyphens and dots), optionally with :port";
  for (const char* host : {"https://login.example.net", "login..example.net", "login:99999", ""}) {
    program.SetText(IDC_M365_AUTHORITY_HOST, host);
    program.PressApply();
    ExpectMessage(program, invalid, MB_ICONERROR);
  }
  EXPECT_EQ(Setting("MailTransport"), std::nullopt);
  program.SetText(IDC_M365_AUTHORITY_HOST, " login.sovereign-cloud.example:8443 ");
  program.SetText(IDC_M365_GRAPH_HOST, "graph.sovereign-cloud.example");
  program.PressApply();
  FinishApply(program);
  EXPECT_EQ(Setting("M365AuthorityHost"), "login.sovereign-cloud.example:8443");
  EXPECT_EQ(Setting("M365GraphHost"), "graph.sovereign-cloud.example");
  program.PressCancel();
}

// The certificate made on the page: its public part saved for upload, its
// key kept protected; its signature, made with that key, verifies with the
// certificate's own public key.
TEST_F(ConfigTransportTest, CreatedCertificateIsSavedForUploadAndKept) {
  ConfigProgram program;
  program.SelectPage(kTransportPage);
  program.SetCheck(IDC_TRANSPORT_M365, true);
  program.SetText(IDC_M365_TENANT, "contoso.onmicrosoft.com");
  program.SetText(IDC_M365_CLIENT, "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee");
  const std::wstring cer = TempFile(L"corvisk-app.cer");
  DeleteFileW(cer.c_str());
  program.Click(IDC_M365_CREATE);
  ChooseFileInOpenDialog("Save the certificate to upload", cer);
  const auto box = program.WaitForMessageBox(30000);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, "A new key and certificate are made. Upload " + ToAnsi(cer) +
                           " to the application registration (Certificates & secrets), then press Apply to keep them.");
  program.Answer(*box, IDOK);
  EXPECT_EQ(program.Text(IDC_M365_CERT_INFO).rfind("CorviskFSP on ", 0), 0u) << program.Text(IDC_M365_CERT_INFO);
  EXPECT_EQ(Setting("M365Certificate"), std::nullopt) << "kept only when applied";
  program.PressApply();
  FinishApply(program);
  const std::string der = BinarySetting("M365Certificate");
  EXPECT_EQ(der, ReadWholeFile(cer));
  DeleteFileW(cer.c_str());
  PCCERT_CONTEXT certificate = CertCreateCertificateContext(
      X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
  ASSERT_NE(certificate, nullptr);
  EXPECT_TRUE(CryptVerifyCertificateSignatureEx(
      0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT, const_cast<CERT_CONTEXT*>(certificate),
      CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT, const_cast<CERT_CONTEXT*>(certificate), 0, nullptr));
  EXPECT_EQ(CertVerifyTimeValidity(nullptr, certificate->pCertInfo), 0);
  CertFreeCertificateContext(certificate);
  std::string key;
  EXPECT_EQ(UnprotectSecret(BinarySetting("M365CertificateKey"), key), 0u);
  EXPECT_EQ(RsaKeyBits(key), 2048u);
  program.PressCancel();
}

TEST_F(ConfigTransportTest, StoredCertificateThatExpiredSaysSo) {
  const std::string pem = CloudText("expired.pem");
  DWORD size = 0;
  ASSERT_TRUE(CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr));
  std::string der(size, '\0');
  CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE*>(der.data()), &size, nullptr,
                       nullptr);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_SET_VALUE, &key), 0);
  RegSetValueExA(key, "M365Certificate", 0, REG_BINARY, reinterpret_cast<const BYTE*>(der.data()), size);
  RegCloseKey(key);
  ConfigProgram program;
  program.SelectPage(kTransportPage);
  const std::string info = program.Text(IDC_M365_CERT_INFO);
  EXPECT_EQ(info.substr(info.size() - 10), " (expired)") << info;
  program.PressCancel();
}

// The key file of the run's service account is imported through the Open
// dialog, kept until Apply, and the Test Mail goes through the Gmail stand-in.
TEST_F(ConfigTransportTest, GoogleKeyIsImportedThenSavedAndTestMailGoesThroughGmail) {
  const std::string host = "localhost:" + CloudText("google.port");
  WriteSetting("GoogleApiHost", host);
  ConfigProgram program;
  program.SelectPage(kTransportPage);
  program.SetCheck(IDC_TRANSPORT_GOOGLE, true);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(program.CurrentPage(), IDC_GOOGLE_IMPORT)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(program.CurrentPage(), IDC_M365_TENANT)));
  EXPECT_EQ(program.Text(IDC_GOOGLE_ACCOUNT), "(none)");
  program.PressApply();
  ExpectMessage(program, "Google Workspace needs the service account's key: import the key file", MB_ICONERROR);

  const std::wstring keyFile = WriteGoogleKeyFile("https://" + host + "/token");
  program.Click(IDC_GOOGLE_IMPORT);
  ChooseFileInOpenDialog("Import Google key file", keyFile);
  ExpectMessage(program,
                "The service account fax-sender@corvisk-fax.iam.gserviceaccount.com is imported.\r\nThe key is "
                "stored, protected for this machine. Delete the downloaded key file now: anyone who has it can send "
                "mail as the mailbox.",
                MB_ICONINFORMATION);
  DeleteFileW(keyFile.c_str());
  EXPECT_EQ(program.Text(IDC_GOOGLE_ACCOUNT), "fax-sender@corvisk-fax.iam.gserviceaccount.com");
  program.SetText(IDC_GOOGLE_MAILBOX, "fax@example.com");
  program.PressApply();
  FinishApply(program);
  EXPECT_EQ(Setting("MailTransport"), "Google");
  EXPECT_EQ(Setting("GoogleClientEmail"), "fax-sender@corvisk-fax.iam.gserviceaccount.com");
  EXPECT_EQ(Setting("GoogleTokenUri"), "https://" + host + "/token");
  EXPECT_EQ(Setting("GoogleMailbox"), "fax@example.com");
  std::string key;
  EXPECT_EQ(UnprotectSecret(BinarySetting("GooglePrivateKey"), key), 0u);
  EXPECT_GT(key.size(), 1000u) << "the PKCS #1 key of the file";

  program.Click(IDC_TEST_MAIL);
  ExpectMessage(program,
                "Test email will be sent to your notification email address using the specified mail server.\r\n"
                "Please press OK to proceed, Cancel to quit.",
                MB_ICONQUESTION);
  ExpectMessage(program, "Test email has been sent successfully to fax.admin@example.com through Google Workspace.",
                MB_OK);
  const auto message = FindBySubject(GatewayServer("open"), "CorviskFSP test mail through Google Workspace");
  ASSERT_TRUE(message);
  EXPECT_EQ(message->recipients, std::vector<std::string>{"fax.admin@example.com"});
  program.PressCancel();
}

}  // namespace
}  // namespace corvisk::test
