// Faxes through the Gmail API: the provider with "MailTransport" Google
// against the HTTPS stand-ins of tests/cloud/cloud-fixture, whose token
// endpoint checks the service account's signed grant and whose Gmail hands
// each accepted message to the gateway mail server.
#include <windows.h>

#include <algorithm>

#include "CloudStandIns.h"
#include "GatewayMailbox.h"
#include "GatewaySendFixture.h"
#include "SettingsKey.h"
#include <nlohmann/json.hpp>

#include "cloudmail/GoogleKeyImport.h"
#include "cloudmail/KeyFiles.h"
#include "win32/Handles.h"

using namespace corvisk;
using namespace corvisk::test;
using namespace corvisk::testbed;

namespace {

constexpr char kSender[] = "sender@example.com";
constexpr char kAccount[] = "fax-sender@corvisk-fax.iam.gserviceaccount.com";
constexpr char kSendRequest[] = "POST /upload/gmail/v1/users/sender%40example.com/messages/send";

size_t LogLines(const char* log, const std::string& prefix) {
  return StandInLogLines(std::string("google-log/") + log, prefix);
}

// The key of one of the run's PKCS #8 key files, as the import keeps it.
std::string KeyOf(const char* file) {
  std::string keyInfo, key;
  EXPECT_TRUE(ReadPemBlock(ReadWholeFile(CloudFile(file)), "PRIVATE KEY", keyInfo));
  EXPECT_EQ(ReadRsaPrivateKeyInfo(keyInfo, key), PrivateKeyInfoError::None);
  return key;
}

class GmailSendTest : public GatewaySendTest {
 protected:
  GmailSendTest() { defaultFax_ = L"normal1.tif"; }

  // The Google settings of a send that works, as the key import leaves them.
  void WriteTransportSettings() override {
    WriteSetting("SMTPTimeout", "10");
    DeleteSetting("GoogleMailbox");
    WriteSetting("MailTransport", "Google");
    WriteSetting("GoogleClientEmail", kAccount);
    WriteSetting("GoogleTokenUri", "https://" + StandInHost("google.port") + "/token");
    WriteSetting("GoogleApiHost", StandInHost("google.port"));
    WriteBinarySetting("GooglePrivateKey", Protected(KeyOf("google-key.pem")));
  }
};

std::wstring WriteTempFile(const wchar_t* name, const std::string& text) {
  wchar_t folder[MAX_PATH + 1] = L"";
  GetTempPathW(MAX_PATH + 1, folder);
  const std::wstring path = std::wstring(folder) + name;
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(handle);
  return path;
}

// A key file as Google's console hands it out, for the run's account and
// token endpoint.
std::wstring WriteKeyFile(const wchar_t* name) {
  const nlohmann::json file = {{"type", "service_account"},
                               {"project_id", "corvisk-fax"},
                               {"private_key_id", "4f1c"},
                               {"private_key", ReadWholeFile(CloudFile("google-key.pem"))},
                               {"client_email", kAccount},
                               {"client_id", "109876543210"},
                               {"token_uri", "https://" + StandInHost("google.port") + "/token"}};
  return WriteTempFile(name, file.dump(2));
}

std::string SettingText(const char* name) {
  char text[256] = "";
  DWORD size = sizeof text;
  RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKey, name, RRF_RT_REG_SZ, nullptr, text, &size);
  return text;
}

// Every value of the settings key, as bytes.
std::vector<std::string> SettingsValues() {
  std::vector<std::string> values;
  unique_hkey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, key.put())) return values;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD nameSize = sizeof name, size = 0;
    if (RegEnumValueA(key.get(), index, name, &nameSize, nullptr, nullptr, nullptr, &size)) break;
    std::string value(size, '\0');
    RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size);
    values.push_back(value);
  }
  return values;
}

}  // namespace

TEST_F(GmailSendTest, SendArrivesAsTheSameMessageTheCdoPathSends) {
  const auto gmail = ExpectSameMessageAsCdo("google", L"0299996501", L"0299996502", TestFax(L"fine3.tif"));
  EXPECT_EQ(LogLines("accepted.log", "send 0299996502"), 1u);
  ASSERT_TRUE(gmail);
  EXPECT_EQ(gmail->mailFrom, kSender) << "sent as the notification address's mailbox";
}

TEST_F(GmailSendTest, ConcurrentJobsShareOneTokenPerMailbox) {
  const auto sendConcurrently = [this](int first) {
    std::vector<std::wstring> numbers;
    for (int i = 0; i < 4; ++i) numbers.push_back(L"02999966" + std::to_wstring(first + i));
    const std::vector<BOOL> results = SendConcurrently(numbers, std::vector<std::wstring>(4, TestFax(L"normal1.tif")));
    EXPECT_EQ(std::count(results.begin(), results.end(), TRUE), 4);
  };
  const size_t sender = LogLines("tokens.log", "issued sender@example.com");
  const size_t fax = LogLines("tokens.log", "issued fax@example.com");
  sendConcurrently(10);
  EXPECT_EQ(LogLines("tokens.log", "issued sender@example.com"), sender + 1);
  WriteSetting("GoogleMailbox", "fax@example.com");
  sendConcurrently(20);
  EXPECT_EQ(LogLines("tokens.log", "issued fax@example.com"), fax + 1) << "another mailbox, another token";
  EXPECT_EQ(LogLines("tokens.log", "issued sender@example.com"), sender + 1);
}

TEST_F(GmailSendTest, GmailFaultsGiveTheirTextsAndNoSecondMessage) {
  ExpectSendFaults(
      {
          {L"7100000001",
           "The Gmail API is disabled for the service account's project (HTTP 403 accessNotConfigured). Enable", 1},
          {L"7200000001", "Gmail has no mailbox sender@example.com (HTTP 400 failedPrecondition).", 1},
          {L"7300000001", "Gmail refused the fax as too large (HTTP 413 uploadTooLarge).", 1},
          {L"7400000001", "", 2},
          {L"7500000001",
           "Gmail throttled the mailbox longer than the time-out allows (HTTP 429 userRateLimitExceeded)", 4},
          {L"7600000001", "", 2},
          {L"7700000001", "Gmail is not available (HTTP 500 backendError). Send the fax again later.", 1},
          {L"7900000001", "Gmail refused the service account's token twice (HTTP 401 authError).", 2},
      },
      TestFax(L"normal1.tif"), [] { return LogLines("requests.log", kSendRequest); });
}

TEST_F(GmailSendTest, GrantAndKeyFaultsSayWhatToDo) {
  ExpectArrangedFaults(
      {
          {[] { WriteSetting("GoogleMailbox", "undelegated@example.com"); },
           "Google refused to let the service account act as undelegated@example.com (unauthorized_client)."},
          {[] { WriteSetting("GoogleMailbox", "nobody@example.com"); },
           "Google does not know the mailbox nobody@example.com (invalid_grant)."},
          {[] { WriteBinarySetting("GooglePrivateKey", Protected(KeyOf("stranger-key.pem"))); },
           "Google refused the service account's key (invalid_grant: Invalid JWT Signature.)."},
          {[] { WriteSetting("GoogleClientEmail", "deleted@corvisk-fax.iam.gserviceaccount.com"); },
           "Google refused the service account's key (invalid_grant: Invalid grant: account not found)."},
          {[] { WriteBinarySetting("GooglePrivateKey", std::string(64, 'x')); },
           "The protected Google service account key cannot be decrypted on this machine"},
          {[] { DeleteSetting("GooglePrivateKey"); },
           "Google Workspace is the mail transport but no service account key is imported."},
      },
      L"02999967", TestFax(L"normal1.tif"), [] { return LogLines("requests.log", "POST /upload/"); });
}

TEST_F(GmailSendTest, TooLargeFaxIsRefusedBeforeAnyRequest) {
  wchar_t folder[MAX_PATH + 1] = L"";
  GetTempPathW(MAX_PATH + 1, folder);
  // 27 MB of document: its base64 lines make a message over 35 MB.
  const std::wstring document = WriteLargeDocument(std::wstring(folder) + L"large-gmail.tif", 131000);
  const size_t requests = LogLines("requests.log", "POST");
  const StatusPacket final = Send(L"0299996801", document);
  DeleteFileW(document.c_str());
  ExpectFailure(final, "The fax message is 36.");
  EXPECT_NE(Events().at(0).strings.at(0).find("MB; Gmail takes messages of at most 35 MB. Nothing was sent"),
            std::string::npos);
  EXPECT_EQ(LogLines("requests.log", "POST"), requests) << "neither a token nor the message was asked for";
}

TEST_F(GmailSendTest, StalledSendIsNotSentAgain) {
  WriteSetting("SMTPTimeout", "4");
  const StatusPacket final = Send(L"7800000002");
  EXPECT_EQ(LogLines("requests.log", std::string(kSendRequest) + " stalled"), 1u);
  ExpectStalledSendTimedOut(final, StandInHost("google.port"));
}

TEST_F(GmailSendTest, ImportedKeyFileSendsAndIsNotStored) {
  for (const char* name : {"GoogleClientEmail", "GoogleTokenUri", "GooglePrivateKey"}) DeleteSetting(name);
  const std::wstring path = WriteKeyFile(L"corvisk-fax-key.json");
  ImportedGoogleKey key;
  const CloudOutcome outcome = ImportGoogleKeyFile(path, key);
  ASSERT_EQ(outcome.result, S_OK) << outcome.text;
  {
    unique_hkey settings;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_SET_VALUE, settings.put()), 0);
    ASSERT_EQ(StoreGoogleKey(settings.get(), key), 0);
  }
  DeleteFileW(path.c_str());
  EXPECT_EQ(SettingText("GoogleClientEmail"), kAccount);
  EXPECT_EQ(SettingText("GoogleTokenUri"), "https://" + StandInHost("google.port") + "/token");
  const std::string pkcs1 = KeyOf("google-key.pem");
  for (const std::string& value : SettingsValues()) {
    EXPECT_EQ(value.find(pkcs1.substr(64, 32)), std::string::npos) << "the key is stored in clear";
    EXPECT_EQ(value.find("private_key"), std::string::npos) << "the file is stored";
  }
  EXPECT_EQ(Send(L"0299996901").statusId, FS_COMPLETED);
  EXPECT_TRUE(FindBySubject(GatewayServer("open"), "0299996901"));
}

TEST_F(GmailSendTest, KeyFileThatCannotBeImportedSaysWhy) {
  ImportedGoogleKey key;
  const CloudOutcome missing = ImportGoogleKeyFile(L"C:\\no-such-key.json", key);
  // The system's own text follows; Wine words it differently from Windows.
  EXPECT_EQ(missing.text.rfind("The key file C:\\no-such-key.json could not be read: ", 0), 0u) << missing.text;
  EXPECT_EQ(missing.result, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  const std::wstring path =
      WriteTempFile(L"corvisk-oauth-client.json", R"({"installed":{"client_id":"1.apps.googleusercontent.com"}})");
  const CloudOutcome wrong = ImportGoogleKeyFile(path, key);
  DeleteFileW(path.c_str());
  EXPECT_EQ(wrong.text.rfind("The file is an OAuth client's, not a service account's key.", 0), 0u) << wrong.text;
  EXPECT_TRUE(key.protectedKey.empty());
}
