// Faxes through Microsoft Graph: the provider with "MailTransport"
// Microsoft365 against the HTTPS stand-ins of tests/cloud/cloud-fixture
// (trusted through the run's test CA), which hand each accepted message to
// the gateway mail server, so it is read and judged as the CDO path's is.
#include <windows.h>

#include <algorithm>

#include "ChildProcess.h"
#include "CloudStandIns.h"
#include "GatewayMailbox.h"
#include "GatewaySendFixture.h"
#include "SettingsKey.h"
#include "cloudmail/CertificateImport.h"
#include "cloudmail/KeyFiles.h"
#include "cloudmail/ProtectedData.h"
#include "cloudmail/RsaSignature.h"

using namespace corvisk;
using namespace corvisk::test;
using namespace corvisk::testbed;

namespace {

constexpr char kSender[] = "sender@example.com";
constexpr char kTenant[] = "11111111-2222-3333-4444-555555555555";
constexpr char kClientId[] = "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee";
constexpr char kSecret[] = "test-secret~1";
constexpr char kShortLivedClientId[] = "aaaaaaaa-bbbb-cccc-dddd-000000000300";
constexpr char kSendMailRequest[] = "POST /v1.0/users/sender%40example.com/sendMail";

std::string StandInHost() { return corvisk::test::StandInHost("graph.port"); }

size_t LogLines(const char* log, const std::string& prefix) {
  return StandInLogLines(std::string("log/") + log, prefix);
}

// An uncompressed one-page document of about three megabytes of noise, far
// beyond what one sendMail request takes.
std::wstring WriteLargeDocument(const std::wstring& path) { return corvisk::test::WriteLargeDocument(path, 14000); }

// The user's CryptoAPI key containers, where a PFX import puts its key.
std::vector<std::string> KeyContainers() {
  std::vector<std::string> names;
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return names;
  char name[1024];
  for (DWORD flags = CRYPT_FIRST;; flags = CRYPT_NEXT) {
    DWORD size = sizeof name;
    if (!CryptGetProvParam(provider, PP_ENUMCONTAINERS, reinterpret_cast<BYTE*>(name), &size, flags)) break;
    names.emplace_back(name);
  }
  CryptReleaseContext(provider, 0);
  std::sort(names.begin(), names.end());
  return names;
}

class GraphSendTest : public GatewaySendTest {
 protected:
  // The Microsoft 365 settings of a send with the secret that works.
  void WriteTransportSettings() override {
    WriteSetting("SMTPTimeout", "4");
    for (const char* name : {"M365Certificate", "M365CertificateKey"}) DeleteSetting(name);
    WriteSetting("MailTransport", "Microsoft365");
    WriteSetting("M365TenantId", kTenant);
    WriteSetting("M365ClientId", kClientId);
    WriteSetting("M365AuthorityHost", StandInHost());
    WriteSetting("M365GraphHost", StandInHost());
    WriteBinarySetting("M365ClientSecret", Protected(kSecret));
  }

  void UseCertificate(const char* stem) {
    const std::string pem =
        ReadWholeFile(CloudFile(std::string(stem) + ".pem")) + ReadWholeFile(CloudFile(std::string(stem) + "-key.pem"));
    ImportedCredential credential;
    const CloudOutcome outcome = ImportPemCredential(pem, credential);
    ASSERT_EQ(outcome.result, S_OK) << outcome.text;
    DeleteSetting("M365ClientSecret");
    WriteBinarySetting("M365Certificate", credential.certificate);
    WriteBinarySetting("M365CertificateKey", credential.protectedKey);
  }
};

}  // namespace

TEST_F(GraphSendTest, SecretSendArrivesAsTheSameMessageTheCdoPathSends) {
  const auto graph = ExpectSameMessageAsCdo("Microsoft365", L"0299995501", L"0299995502", TestFax(L"fine3.tif"));
  EXPECT_EQ(LogLines("accepted.log", "sendMail 0299995502"), 1u);
  ASSERT_TRUE(graph);
  EXPECT_EQ(graph->mailFrom, kSender);
}

TEST_F(GraphSendTest, CertificateSendSignsAnAssertionTheTokenEndpointAccepts) {
  UseCertificate("app");
  const size_t before = LogLines("tokens.log", "issued assertion");
  EXPECT_EQ(Send(L"0299995503").statusId, FS_COMPLETED);
  EXPECT_EQ(LogLines("tokens.log", "issued assertion"), before + 1);
  EXPECT_TRUE(FindBySubject(GatewayServer("open"), "0299995503"));
}

TEST_F(GraphSendTest, PfxImportGivesTheSameCredentialAndLeavesNoKeyContainer) {
  const std::vector<std::string> containers = KeyContainers();
  ImportedCredential credential;
  const std::string pfx = ReadWholeFile(CloudFile("app.pfx"));
  const CloudOutcome refused = ImportPfxCredential(pfx, L"wrong", credential);
  EXPECT_TRUE(FAILED(refused.result));
  EXPECT_EQ(refused.text.rfind("The PFX file", 0), 0u) << refused.text;
  const CloudOutcome outcome = ImportPfxCredential(pfx, L"pfx-password", credential);
  ASSERT_EQ(outcome.result, S_OK) << outcome.text;
  DeleteSetting("M365ClientSecret");
  WriteBinarySetting("M365Certificate", credential.certificate);
  WriteBinarySetting("M365CertificateKey", credential.protectedKey);
  EXPECT_EQ(Send(L"0299995505").statusId, FS_COMPLETED);
  EXPECT_TRUE(FindBySubject(GatewayServer("open"), "0299995505"));
  EXPECT_EQ(KeyContainers(), containers) << "the import left its key container behind";
}

TEST_F(GraphSendTest, LargeFaxGoesUpInPiecesAndLeavesAsOneMessage) {
  wchar_t folder[MAX_PATH + 1] = L"";
  GetTempPathW(MAX_PATH + 1, folder);
  const std::wstring document = WriteLargeDocument(std::wstring(folder) + L"large-graph.tif");
  const StatusPacket final = Send(L"0299995504", document);
  const std::string expected = RestructuredByFaxtiff(document);
  DeleteFileW(document.c_str());
  EXPECT_EQ(final.statusId, FS_COMPLETED);
  EXPECT_EQ(LogLines("accepted.log", "draft 0299995504"), 1u);
  const auto message = FindBySubject(GatewayServer("open"), "0299995504");
  ASSERT_TRUE(message);
  EXPECT_EQ(message->Header("X-Corvisk-fax-password"), "gateway-secret");
  EXPECT_EQ(message->Header("From"), kSender);
  EXPECT_TRUE(message->AttachmentBytes(AttachmentName(*message)) == expected) << "the document arrives unchanged";
}

TEST_F(GraphSendTest, ConcurrentJobsShareOneToken) {
  const size_t before = LogLines("tokens.log", "issued");
  std::vector<std::wstring> numbers;
  for (int i = 0; i < 4; ++i) numbers.push_back(L"02999956" + std::to_wstring(10 + i));
  const std::vector<BOOL> results = SendConcurrently(numbers, std::vector<std::wstring>(4, TestFax(L"normal1.tif")));
  EXPECT_EQ(std::count(results.begin(), results.end(), TRUE), 4);
  EXPECT_EQ(LogLines("tokens.log", "issued"), before + 1);
}

TEST_F(GraphSendTest, TokenIsRenewedWithinFiveMinutesOfItsExpiry) {
  const size_t before = LogLines("tokens.log", "issued");
  EXPECT_EQ(Send(L"0299995520", TestFax(L"normal1.tif")).statusId, FS_COMPLETED);
  EXPECT_EQ(Send(L"0299995521", TestFax(L"normal1.tif")).statusId, FS_COMPLETED);
  EXPECT_EQ(LogLines("tokens.log", "issued"), before + 1) << "an hour's token serves both";
  WriteSetting("M365ClientId", kShortLivedClientId);
  EXPECT_EQ(Send(L"0299995522", TestFax(L"normal1.tif")).statusId, FS_COMPLETED);
  EXPECT_EQ(Send(L"0299995523", TestFax(L"normal1.tif")).statusId, FS_COMPLETED);
  EXPECT_EQ(LogLines("tokens.log", "issued"), before + 3) << "a token of five minutes is renewed at every send";
}

TEST_F(GraphSendTest, GraphFaultsGiveTheirTextsAndNoSecondMessage) {
  WriteSetting("SMTPTimeout", "10");  // room for three waits of a second
  ExpectSendFaults(
      {
          {L"8100000001", "Microsoft Graph refused to send as sender@example.com (HTTP 403 ErrorAccessDenied). Grant",
           1},
          {L"8200000001", "Microsoft Graph does not know the mailbox sender@example.com (HTTP 404 ErrorInvalidUser)",
           1},
          {L"8300000001", "Microsoft Graph refused the fax as too large (HTTP 413 RequestEntityTooLarge)", 1},
          {L"8400000001", "", 2},
          {L"8500000001", "Microsoft Graph throttled the application and asked it to wait longer", 4},
          {L"8600000001", "", 2},
          {L"8700000001", "Microsoft Graph is not available (HTTP 500 InternalServerError). Send the fax again later.",
           1},
          {L"8900000001", "Microsoft Graph refused the application's token twice (HTTP 401 InvalidAuthenticationToken)",
           2},
      },
      TestFax(L"normal1.tif"), [] { return LogLines("requests.log", kSendMailRequest); });
}

TEST_F(GraphSendTest, TokenAndCredentialFaultsSayWhatToDo) {
  const auto writeCertificate = [](const char* stem) {
    std::string certificate, keyInfo, key, blob;
    ASSERT_TRUE(ReadPemBlock(ReadWholeFile(CloudFile(std::string(stem) + ".pem")), "CERTIFICATE", certificate));
    ASSERT_TRUE(ReadPemBlock(ReadWholeFile(CloudFile(std::string(stem) + "-key.pem")), "PRIVATE KEY", keyInfo));
    ASSERT_EQ(ReadRsaPrivateKeyInfo(keyInfo, key), PrivateKeyInfoError::None);
    ASSERT_EQ(DecodeRsaPrivateKey(key, blob), S_OK);
    DeleteSetting("M365ClientSecret");
    WriteBinarySetting("M365Certificate", certificate);
    WriteBinarySetting("M365CertificateKey", Protected(blob));
  };
  ExpectArrangedFaults(
      {
          {[] { WriteBinarySetting("M365ClientSecret", Protected("wrong")); },
           "Microsoft 365 refused the client secret as wrong (AADSTS7000215)."},
          {[] { WriteBinarySetting("M365ClientSecret", Protected("expired-secret")); },
           "Microsoft 365 refused the client secret: it has expired (AADSTS7000222)."},
          {[] { WriteSetting("M365ClientId", "99999999-bbbb-cccc-dddd-eeeeeeeeeeee"); },
           "Microsoft 365 does not know the application in this tenant (AADSTS700016)."},
          {[] { WriteSetting("M365TenantId", "contoso.onmicrosoft.com"); },
           "Microsoft 365 does not know the tenant (AADSTS90002)."},
          {[] { WriteBinarySetting("M365ClientSecret", std::string(64, 'x')); },
           "The protected Microsoft 365 client secret cannot be decrypted on this machine"},
          {[&] { writeCertificate("stranger"); }, "Microsoft 365 refused the certificate credential (AADSTS700027)."},
          {[&] { writeCertificate("expired"); }, "The Microsoft 365 certificate expired on "},
          {[] { DeleteSetting("M365ClientSecret"); },
           "Microsoft 365 is the mail transport but no credential is stored."},
          {[] { WriteSetting("MailTransport", "Gmail"); },
           "The setting MailTransport names no known transport (\"Gmail\"). Set it to SMTP, Microsoft365 or Google."},
      },
      L"02999957", TestFax(L"normal1.tif"), [] { return LogLines("requests.log", "POST /v1.0/"); });
}

TEST_F(GraphSendTest, StalledSendIsNotSentAgain) {
  const StatusPacket final = Send(L"8800000002", TestFax(L"normal1.tif"));
  EXPECT_EQ(LogLines("requests.log", std::string(kSendMailRequest) + " stalled"), 1u);
  ExpectStalledSendTimedOut(final, StandInHost());
}

namespace {

// Wine's DPAPI ignores the scope: the flags are checked where they are passed.
DWORD protectFlags = 0, unprotectFlags = 0;

BOOL WINAPI RecordProtect(DATA_BLOB* in, LPCWSTR name, DATA_BLOB* entropy, PVOID reserved,
                          CRYPTPROTECT_PROMPTSTRUCT* prompt, DWORD flags, DATA_BLOB* out) {
  protectFlags = flags;
  return CryptProtectData(in, name, entropy, reserved, prompt, flags, out);
}

BOOL WINAPI RecordUnprotect(DATA_BLOB* in, LPWSTR* name, DATA_BLOB* entropy, PVOID reserved,
                            CRYPTPROTECT_PROMPTSTRUCT* prompt, DWORD flags, DATA_BLOB* out) {
  unprotectFlags = flags;
  return CryptUnprotectData(in, name, entropy, reserved, prompt, flags, out);
}

}  // namespace

TEST(ProtectedDataTest, SecretsAreProtectedInMachineScopeWithoutPrompts) {
  std::string blob, secret;
  ASSERT_EQ(ProtectSecret("s3cret", blob, RecordProtect), 0u);
  EXPECT_EQ(protectFlags, static_cast<DWORD>(CRYPTPROTECT_LOCAL_MACHINE | CRYPTPROTECT_UI_FORBIDDEN));
  EXPECT_EQ(blob.find("s3cret"), std::string::npos);
  ASSERT_EQ(UnprotectSecret(blob, secret, RecordUnprotect), 0u);
  EXPECT_EQ(unprotectFlags, static_cast<DWORD>(CRYPTPROTECT_UI_FORBIDDEN));
  EXPECT_EQ(secret, "s3cret");
}
