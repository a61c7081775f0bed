// The silent installation's settings actions, called as Windows Installer
// calls them, with a session of the built package: the immediate action
// gathers the properties and the file they name into the action data of the
// deferred action and of its rollback action, which then run with that data.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <sddl.h>
#include <wincrypt.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "GatewayMailbox.h"
#include "SettingsKey.h"
#include "cloudmail/ProtectedData.h"
#include "win32/Handles.h"

namespace corvisk::test {
namespace {

using ActionFn = UINT(WINAPI*)(MSIHANDLE install);

constexpr char kGatewayPassword[] = "gw=Secret;42:x 7";
constexpr char kClientSecret[] = "m365=Secret;7:x~Q";
constexpr char kAccount[] = "fax-sender@corvisk-fax.iam.gserviceaccount.com";

std::string Base64Decoded(const std::string& text, DWORD form = CRYPT_STRING_BASE64) {
  DWORD size = 0;
  if (!CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), form, nullptr, &size, nullptr, nullptr))
    return {};
  std::string bytes(size, '\0');
  CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), form, reinterpret_cast<BYTE*>(bytes.data()),
                       &size, nullptr, nullptr);
  bytes.resize(size);
  return bytes;
}

// The action data and every value it carries, decoded: where a secret
// would show if it travelled in clear.
std::string WithDecodedValues(const std::string& data) {
  std::string all = data;
  for (size_t at = 0, end; (end = data.find(';', at)) != std::string::npos; at = end + 1) {
    const size_t colon = data.find(':', at);
    if (colon < end) all += "\n" + Base64Decoded(data.substr(colon + 1, end - colon - 1));
  }
  return all;
}

// A value of the settings key as it is stored; none when it is absent.
std::optional<std::string> StoredValue(const char* name) {
  unique_hkey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_QUERY_VALUE, key.put())) return std::nullopt;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), name, nullptr, nullptr, nullptr, &size)) return std::nullopt;
  std::string bytes(size, '\0');
  RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(bytes.data()), &size);
  bytes.resize(size);
  return bytes;
}

std::string StoredText(const char* name) {
  const std::optional<std::string> bytes = StoredValue(name);
  return bytes ? std::string(bytes->c_str()) : "(absent)";
}

std::string Unprotected(const std::optional<std::string>& blob) {
  std::string secret;
  return blob && UnprotectSecret(*blob, secret) == ERROR_SUCCESS ? secret : "(not unprotected)";
}

bool SetKeyAccess(const char* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return false;
  const unique_hlocal owner(descriptor);
  unique_hkey key;
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, WRITE_DAC, key.put()) == ERROR_SUCCESS &&
         RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
}

class SilentSettingsActionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsKey();
    dll_.reset(LoadLibraryW((ProgramFolder() + L"CorviskFSP_CA.dll").c_str()));
    ASSERT_TRUE(dll_);
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    previousHandler_ = MsiSetExternalUIA(RecordLogLine, INSTALLLOGMODE_INFO, this);
    ASSERT_EQ(MsiOpenPackageW(WinePath(CORVISK_PACKAGE_FILE).c_str(), &session_), ERROR_SUCCESS);
  }
  void TearDown() override {
    if (session_) MsiCloseHandle(session_);
    MsiSetExternalUIA(previousHandler_, 0, nullptr);
    SetKeyAccess("D:P(A;CI;KA;;;BA)");  // a key that a test locked must still go
    DeleteSettingsKey();
    DeleteFileW(keyFile_.c_str());
  }

  static int WINAPI RecordLogLine(void* context, UINT /*type*/, LPCSTR line) {
    static_cast<SilentSettingsActionTest*>(context)->log_ += std::string(line ? line : "") + "\n";
    return 0;
  }

  UINT Run(const char* action) {
    const auto run = reinterpret_cast<ActionFn>(reinterpret_cast<void*>(GetProcAddress(dll_.get(), action)));
    return run ? run(session_) : ~0u;
  }
  // The deferred and rollback actions see their action data, nothing else.
  UINT RunFromScript(const std::string& actionData) {
    MsiSetPropertyA(session_, "CustomActionData", actionData.c_str());
    return Run("WriteSilentSettings");
  }
  void SetProperty(const char* name, const std::string& value) { MsiSetPropertyA(session_, name, value.c_str()); }
  std::string Property(const char* name) {
    char text[16384] = "";
    DWORD size = sizeof text;
    MsiGetPropertyA(session_, name, text, &size);
    return text;
  }

  // A service account's key file as Google's console hands it out; its key's DER.
  std::string GiveGoogleKeyFile() {
    const std::string pem = ReadWholeFile(WinePath(CORVISK_INSTALLER_KEY_FILE));
    std::string escaped;
    for (const char c : pem) escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    wchar_t folder[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, folder);
    keyFile_ = std::wstring(folder) + L"corvisk-silent-key.json";
    const std::string json = std::string("{\"type\": \"service_account\", \"client_email\": \"") + kAccount +
                             "\", \"token_uri\": \"https://oauth2.googleapis.com/token\", \"private_key\": \"" +
                             escaped + "\"}";
    const unique_hfile file(CreateFileW(keyFile_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), json.data(), static_cast<DWORD>(json.size()), &written, nullptr);
    char path[MAX_PATH] = "";
    WideCharToMultiByte(CP_ACP, 0, keyFile_.c_str(), -1, path, MAX_PATH, nullptr, nullptr);
    SetProperty("GOOGLEKEYFILE", path);
    return Base64Decoded(pem, CRYPT_STRING_BASE64HEADER);
  }

  unique_hmodule dll_;
  MSIHANDLE session_ = 0;
  INSTALLUI_HANDLERA previousHandler_ = nullptr;
  std::string log_;
  std::wstring keyFile_;
};

// An upgrade over an earlier installation's settings, rolled back: the
// action data holds no secret in clear, the deferred action writes the
// given values, and its rollback puts back exactly what they replaced.
TEST_F(SilentSettingsActionTest, AnUpgradeRolledBackPutsBackTheSettingsItReplaced) {
  WriteSetting("NotifyMeEMailAddress", "earlier@example.com");
  WriteSetting("CorviskPwd", "earlier-password");
  unique_hkey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_SET_VALUE, key.put()), ERROR_SUCCESS);
  const std::string earlierBlob("\x01\x00\x00\x00earlier blob", 16);
  ASSERT_EQ(RegSetValueExA(key.get(), "M365ClientSecret", 0, REG_BINARY,
                           reinterpret_cast<const BYTE*>(earlierBlob.data()), 16),
            ERROR_SUCCESS);
  SetProperty("NOTIFYEMAIL", "fax@example.com");
  SetProperty("GATEWAYPASSWORD", kGatewayPassword);
  SetProperty("SMTPSERVER", "mail.example.com");
  SetProperty("M365CLIENTSECRET", kClientSecret);
  const std::string keyDer = GiveGoogleKeyFile();

  ASSERT_EQ(Run("GatherSilentSettings"), 0u) << log_;
  const std::string write = Property("WriteSilentSettings"), restore = Property("WriteSilentSettingsRollback");
  ASSERT_FALSE(write.empty());
  EXPECT_NE(log_.find(std::string("GOOGLEKEYFILE: ") + kAccount + " imported."), std::string::npos) << log_;
  const std::string carried = WithDecodedValues(write) + WithDecodedValues(restore);
  for (const std::string& secret : {std::string(kGatewayPassword), std::string(kClientSecret),
                                    std::string("earlier-password"), keyDer.substr(keyDer.size() - 64)})
    EXPECT_EQ(carried.find(secret), std::string::npos) << "in clear in the action data: " << secret;

  ASSERT_EQ(RunFromScript(write), 0u) << log_;
  EXPECT_EQ(StoredText("NotifyMeEMailAddress"), "fax@example.com");
  EXPECT_EQ(StoredText("CorviskPwd"), kGatewayPassword);
  EXPECT_EQ(StoredText("SMTPServer"), "mail.example.com");
  EXPECT_EQ(Unprotected(StoredValue("M365ClientSecret")), kClientSecret);
  EXPECT_EQ(StoredText("GoogleClientEmail"), kAccount);
  EXPECT_NE(keyDer.find(Unprotected(StoredValue("GooglePrivateKey"))), std::string::npos)
      << "the key is stored protected";

  EXPECT_EQ(RunFromScript(restore), 0u) << log_;
  EXPECT_EQ(StoredText("NotifyMeEMailAddress"), "earlier@example.com");
  EXPECT_EQ(StoredText("CorviskPwd"), "earlier-password");
  EXPECT_EQ(StoredValue("M365ClientSecret"), earlierBlob);
  for (const char* name : {"SMTPServer", "GoogleClientEmail", "GoogleTokenUri", "GooglePrivateKey"})
    EXPECT_EQ(StoredValue(name), std::nullopt) << name << " was not there before";
}

// Run without elevation, the immediate action may not read the settings it
// would replace: the installation fails before anything is written, rather
// than one that could not be rolled back.
TEST_F(SilentSettingsActionTest, SettingsItCannotReadFailTheInstallation) {
  WriteSetting("NotifyMeEMailAddress", "earlier@example.com");
  ASSERT_TRUE(SetKeyAccess("D:P(D;;KR;;;WD)(A;CI;KA;;;BA)(A;CI;KA;;;SY)"));
  SetProperty("NOTIFYEMAIL", "fax@example.com");
  EXPECT_EQ(Run("GatherSilentSettings"), static_cast<UINT>(ERROR_INSTALL_FAILURE));
  EXPECT_NE(log_.find("The settings that this installation replaces cannot be read (error 5), so a failed "
                      "installation could not put them back. Run it from an elevated command prompt."),
            std::string::npos)
      << log_;
  EXPECT_EQ(Property("WriteSilentSettings"), "");
}

}  // namespace
}  // namespace corvisk::test
