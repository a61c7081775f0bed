// The settings key in Wine's real registry: the provider's read with its
// buffers and order, and the configuration program's load and save. Every
// test starts and ends without the key.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/PasswordCodec.h"
#include "settings/SettingsStore.h"
#include "win32/SystemMessage.h"

using namespace corvisk;

namespace {

const char kKeyPath[] = "SOFTWARE\\Mervale\\CorviskFSP";

struct StoredValue {
  DWORD type = REG_NONE;
  std::string data;  // every byte, terminator included
};

class SettingsKeyTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteKey(); }
  void TearDown() override { DeleteKey(); }

  static void DeleteKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKeyPath); }
  static bool KeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

  // The installer's part: the programs never create the key.
  static HKEY CreateKey() {
    HKEY key = nullptr;
    const LONG error =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    EXPECT_EQ(error, ERROR_SUCCESS);
    return key;
  }
  static void SetBytes(const char* name, DWORD type, const std::string& data) {
    HKEY key = CreateKey();
    EXPECT_EQ(
        RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size())),
        ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static void Set(const char* name, const std::string& text) { SetBytes(name, REG_SZ, text + '\0'); }
  static void Remove(const char* name) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, name);
    RegCloseKey(key);
  }
  static void SetRequired() {
    Set("NotifyMeEMailAddress", "user@example.org");
    Set("CorviskPwd", "gateway-secret");
  }

  static std::optional<StoredValue> Get(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    StoredValue value;
    std::vector<BYTE> buffer(4096);
    DWORD size = static_cast<DWORD>(buffer.size());
    const LONG error = RegQueryValueExA(key, name, nullptr, &value.type, buffer.data(), &size);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS) return std::nullopt;
    value.data.assign(reinterpret_cast<const char*>(buffer.data()), size);
    return value;
  }
  // A value as the save must write it: REG_SZ with its terminating zero.
  static void ExpectText(const char* name, const std::string& text) {
    const std::optional<StoredValue> value = Get(name);
    ASSERT_TRUE(value.has_value()) << name;
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ)) << name;
    EXPECT_EQ(value->data, text + '\0') << name;
  }
};

// One provider read with the DebugOutput values it passed on.
struct ProviderRead {
  ProviderSettings settings;
  SettingsReadResult result;
  std::vector<bool> debugOutput;
};

ProviderRead ReadAsProvider(const std::function<void()>& whenDebugOutputApplied = {}) {
  ProviderRead read;
  read.settings.smtpServer = "left over from an earlier send";
  read.result = ReadProviderSettings(read.settings, [&](bool on) {
    read.debugOutput.push_back(on);
    if (whenDebugOutputApplied) whenDebugOutputApplied();
  });
  return read;
}

void SaveAndCheck(const ConfigSettings& settings) {
  std::string failure;
  EXPECT_TRUE(SaveConfigSettings(settings, failure)) << failure;
}

using ProviderSettingsTest = SettingsKeyTest;
using ConfigSettingsTest = SettingsKeyTest;

TEST_F(ProviderSettingsTest, RequiredValuesAloneGiveTheDefaults) {
  SetRequired();
  const ProviderRead read = ReadAsProvider();
  ASSERT_TRUE(read.result.Succeeded()) << read.result.error;
  const ProviderSettings& s = read.settings;
  EXPECT_EQ(s.smtpServer, CORVISK_EXPECTED_GATEWAY_DOMAIN);
  EXPECT_EQ(s.smtpPort, 2525);
  EXPECT_EQ(s.smtpTimeout, 10);
  EXPECT_EQ(s.smtpUserName, "");
  EXPECT_EQ(s.smtpPassword, "");
  EXPECT_FALSE(s.ntlmAuthentication);
  EXPECT_FALSE(s.useSsl);
  EXPECT_EQ(s.preprocessCommand, "");
  EXPECT_EQ(s.internationalPrefix, "");
  EXPECT_EQ(s.notifyAddress, "user@example.org");
  EXPECT_EQ(s.gatewayPassword, "gateway-secret");
  EXPECT_EQ(read.debugOutput, std::vector<bool>{false});
}

TEST_F(ProviderSettingsTest, ReadsEveryValue) {
  SetRequired();
  Set("SMTPServer", "<local>");
  Set("SMTPPort", "587");
  Set("SMTPTimeout", "30");
  Set("SMTPUserName", "account");
  Set("SMTPPasswordEnc", EncodePassword("p@ss word"));
  Set("NTLMAuthentication", "Y");
  Set("UseSSL", "y");
  Set("PreProcessCmd", "convert %s %s");
  Set("InternationalRulePrefix", "00");
  Set("DebugOutput", "Y");
  const ProviderRead read = ReadAsProvider();
  ASSERT_TRUE(read.result.Succeeded());
  const ProviderSettings& s = read.settings;
  EXPECT_EQ(s.smtpServer, "<local>");
  EXPECT_EQ(s.smtpPort, 587);
  EXPECT_EQ(s.smtpTimeout, 30);
  EXPECT_EQ(s.smtpUserName, "account");
  EXPECT_EQ(s.smtpPassword, "p@ss word");
  EXPECT_TRUE(s.ntlmAuthentication) << "the provider takes NTLM and SSL both on";
  EXPECT_TRUE(s.useSsl);
  EXPECT_EQ(s.preprocessCommand, "convert %s %s");
  EXPECT_EQ(s.internationalPrefix, "00");
  EXPECT_EQ(read.debugOutput, std::vector<bool>{true});
}

TEST_F(ProviderSettingsTest, EachRequiredValueFailsWithTheRegistryCode) {
  ProviderRead read = ReadAsProvider();
  EXPECT_EQ(read.result.failure, SettingsFailure::KeyNotOpened);
  EXPECT_EQ(read.result.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(read.debugOutput.empty());

  Set("CorviskPwd", "gateway-secret");
  Set("DebugOutput", "yes");
  read = ReadAsProvider();
  EXPECT_EQ(read.result.failure, SettingsFailure::NotifyAddressUnreadable);
  EXPECT_EQ(read.result.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(read.debugOutput.empty()) << "the log is switched only after the notify address";

  Remove("CorviskPwd");
  Set("NotifyMeEMailAddress", "user@example.org");
  read = ReadAsProvider();
  EXPECT_EQ(read.result.failure, SettingsFailure::GatewayPasswordUnreadable);
  EXPECT_EQ(read.result.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(read.debugOutput, std::vector<bool>{true}) << "a missing password fails with the log switched";
}

TEST_F(ProviderSettingsTest, DebugOutputIsAppliedBetweenPreprocessCommandAndPort) {
  // What changes while the flag is applied shows which values were read before.
  SetRequired();
  Set("PreProcessCmd", "early %s %s");
  Remove("CorviskPwd");
  const ProviderRead read = ReadAsProvider([] {
    Remove("PreProcessCmd");
    Remove("NotifyMeEMailAddress");
    Set("SMTPPort", "587");
    Set("SMTPTimeout", "45");
    Set("InternationalRulePrefix", "011");
    Set("CorviskPwd", "late");
  });
  ASSERT_TRUE(read.result.Succeeded()) << static_cast<int>(read.result.failure);
  EXPECT_EQ(read.settings.preprocessCommand, "early %s %s");
  EXPECT_EQ(read.settings.notifyAddress, "user@example.org");
  EXPECT_EQ(read.settings.smtpPort, 587);
  EXPECT_EQ(read.settings.smtpTimeout, 45);
  EXPECT_EQ(read.settings.internationalPrefix, "011");
  EXPECT_EQ(read.settings.gatewayPassword, "late");
}

TEST_F(ProviderSettingsTest, DebugOutputIsOnOnlyForAFirstLetterY) {
  SetRequired();
  const std::pair<const char*, bool> cases[] = {{"yes", true}, {"Y", true},     {"y", true},
                                                {"1", false},  {"true", false}, {"N", false}};
  for (const auto& [text, on] : cases) {
    Set("DebugOutput", text);
    EXPECT_EQ(ReadAsProvider().debugOutput, std::vector<bool>{on}) << text;
  }
  Remove("DebugOutput");
  EXPECT_EQ(ReadAsProvider().debugOutput, std::vector<bool>{false}) << "absent";
}

TEST_F(ProviderSettingsTest, NumbersTakeTheLeadingIntegerOrKeepTheDefault) {
  SetRequired();
  Set("SMTPPort", "abc");
  EXPECT_EQ(ReadAsProvider().settings.smtpPort, 2525);
  Set("SMTPPort", "25x");
  Set("SMTPTimeout", "");
  const ProviderRead read = ReadAsProvider();
  EXPECT_EQ(read.settings.smtpPort, 25);
  EXPECT_EQ(read.settings.smtpTimeout, 10);
}

TEST_F(ProviderSettingsTest, PasswordIsReadOnlyAfterAUserName) {
  SetRequired();
  Set("SMTPPasswordEnc", "616263");
  EXPECT_EQ(ReadAsProvider().settings.smtpPassword, "");
  Set("SMTPUserName", "account");
  EXPECT_EQ(ReadAsProvider().settings.smtpPassword, "abc");
  // A name that does not fit is no name: the password stays unread.
  Set("SMTPUserName", std::string(127, 'n'));
  const ProviderRead read = ReadAsProvider();
  EXPECT_EQ(read.settings.smtpUserName, "");
  EXPECT_EQ(read.settings.smtpPassword, "");
}

TEST_F(ProviderSettingsTest, NotifyAddressOf126CharactersFitsAnd127DoNot) {
  Set("CorviskPwd", "gateway-secret");
  const std::string address126 = std::string(114, 'a') + "@example.org";
  Set("NotifyMeEMailAddress", address126);
  ProviderRead read = ReadAsProvider();
  ASSERT_TRUE(read.result.Succeeded());
  EXPECT_EQ(read.settings.notifyAddress, address126);

  Set("NotifyMeEMailAddress", "b" + address126);
  read = ReadAsProvider();
  EXPECT_EQ(read.result.failure, SettingsFailure::NotifyAddressUnreadable);
  EXPECT_EQ(read.result.error, static_cast<DWORD>(ERROR_MORE_DATA));
}

TEST_F(ProviderSettingsTest, ValuesLongerThanTheirBuffersCountAsAbsent) {
  SetRequired();
  Set("SMTPServer", std::string(64, 's'));
  Set("PreProcessCmd", std::string(64, 'p'));
  Set("InternationalRulePrefix", std::string(255, '0'));
  ProviderRead read = ReadAsProvider();
  EXPECT_EQ(read.settings.smtpServer, CORVISK_EXPECTED_GATEWAY_DOMAIN);
  EXPECT_EQ(read.settings.preprocessCommand, "");
  EXPECT_EQ(read.settings.internationalPrefix, "");

  Set("SMTPServer", std::string(63, 's'));
  Set("PreProcessCmd", std::string(63, 'p'));
  Set("InternationalRulePrefix", std::string(254, '0'));
  read = ReadAsProvider();
  EXPECT_EQ(read.settings.smtpServer, std::string(63, 's'));
  EXPECT_EQ(read.settings.preprocessCommand, std::string(63, 'p'));
  EXPECT_EQ(read.settings.internationalPrefix, std::string(254, '0'));

  Set("CorviskPwd", std::string(64, 'g'));
  read = ReadAsProvider();
  EXPECT_EQ(read.result.failure, SettingsFailure::GatewayPasswordUnreadable);
  EXPECT_EQ(read.result.error, static_cast<DWORD>(ERROR_MORE_DATA));
}

TEST_F(ProviderSettingsTest, DataWithoutTerminatorEndsAtTheBufferNotBeyond) {
  // Regression: the registry type is not checked, so data without a zero
  // byte must neither be read past its end nor pass for a fitting value.
  SetRequired();
  SetBytes("SMTPServer", REG_BINARY, "relay");
  SetBytes("PreProcessCmd", REG_BINARY, std::string(64, 'p'));
  SetBytes("InternationalRulePrefix", REG_BINARY, std::string("00\0junk", 7));
  SetBytes("SMTPPort", REG_DWORD, std::string("25\0\0", 4));
  const ProviderRead read = ReadAsProvider();
  EXPECT_EQ(read.settings.smtpServer, "relay");
  EXPECT_EQ(read.settings.preprocessCommand, "");
  EXPECT_EQ(read.settings.internationalPrefix, "00");
  EXPECT_EQ(read.settings.smtpPort, 25);
}

TEST_F(ConfigSettingsTest, MissingKeyLoadsTheDefaultsSilently) {
  const ConfigSettings loaded = LoadConfigSettings();
  EXPECT_EQ(loaded.smtpServer, CORVISK_EXPECTED_GATEWAY_DOMAIN);
  EXPECT_EQ(loaded.smtpPort, 2525);
  EXPECT_EQ(loaded.smtpTimeout, 10);
  EXPECT_EQ(loaded.notifyAddress, "");
  EXPECT_FALSE(loaded.preprocessCommand.has_value());
  EXPECT_FALSE(KeyExists()) << "loading never creates the key";
}

TEST_F(ConfigSettingsTest, LoadsEveryValueAndTrimsTheNotifyAddress) {
  Set("SMTPServer", "mail.example.org");
  Set("SMTPUserName", "account");
  Set("SMTPPasswordEnc", EncodePassword("secret"));
  Set("NotifyMeEMailAddress", " \t user@example.org\t ");
  Set("CorviskPwd", std::string(63, 'g'));
  Set("DebugOutput", "yes");
  Set("SMTPPort", "25x");
  Set("SMTPTimeout", "60");
  Set("UseSSL", "Y");
  Set("PreProcessCmd", "");
  Set("InternationalRulePrefix", "011");
  const ConfigSettings loaded = LoadConfigSettings();
  EXPECT_EQ(loaded.smtpServer, "mail.example.org");
  EXPECT_EQ(loaded.smtpUserName, "account");
  EXPECT_EQ(loaded.smtpPassword, "secret");
  EXPECT_EQ(loaded.notifyAddress, "user@example.org");
  EXPECT_EQ(loaded.gatewayPassword, std::string(63, 'g'));
  EXPECT_TRUE(loaded.debugOutput);
  EXPECT_EQ(loaded.smtpPort, 25);
  EXPECT_EQ(loaded.smtpTimeout, 60);
  EXPECT_FALSE(loaded.ntlmAuthentication);
  EXPECT_TRUE(loaded.useSsl);
  EXPECT_EQ(loaded.preprocessCommand, std::optional<std::string>("")) << "present though empty";
  EXPECT_EQ(loaded.internationalPrefix, std::optional<std::string>("011"));
}

TEST_F(ConfigSettingsTest, LoadUsesItsOwnBufferSizes) {
  Set("NotifyMeEMailAddress", std::string(127, 'a'));
  Set("SMTPServer", std::string(254, 's'));
  Set("CorviskPwd", std::string(64, 'g'));
  Set("UseSSL", "Y" + std::string(63, 'x'));
  Set("SMTPUserName", std::string(255, 'n'));
  const ConfigSettings loaded = LoadConfigSettings();
  EXPECT_EQ(loaded.notifyAddress, std::string(127, 'a')) << "what the provider refuses still loads";
  EXPECT_EQ(loaded.smtpServer, std::string(254, 's'));
  EXPECT_EQ(loaded.gatewayPassword, "");
  EXPECT_FALSE(loaded.useSsl);
  EXPECT_EQ(loaded.smtpUserName, "");
}

TEST_F(ConfigSettingsTest, NtlmHidesSslAndTheSaveTurnsItOff) {
  SetRequired();
  Set("NTLMAuthentication", "Y");
  Set("UseSSL", "Y");
  ConfigSettings loaded = LoadConfigSettings();
  EXPECT_TRUE(loaded.ntlmAuthentication);
  EXPECT_FALSE(loaded.useSsl);
  SaveAndCheck(loaded);
  ExpectText("NTLMAuthentication", "Y");
  ExpectText("UseSSL", "N");
}

TEST_F(ConfigSettingsTest, LegacyPasswordIsLoadedAndSavedEncoded) {
  SetRequired();
  Set("SMTPUserName", "account");
  Set("SMTPPassword", "legacy");
  EXPECT_EQ(LoadConfigSettings().smtpPassword, "legacy");
  SaveAndCheck(LoadConfigSettings());
  ExpectText("SMTPPasswordEnc", "6c6567616379");
  ExpectText("SMTPPassword", "legacy");
  EXPECT_EQ(ReadAsProvider().settings.smtpPassword, "legacy");

  Set("SMTPPassword", "stale");
  EXPECT_EQ(LoadConfigSettings().smtpPassword, "legacy") << "the encoded value wins";
}

TEST_F(ConfigSettingsTest, SaveWritesEveryEditedValueAsText) {
  Set("PreProcessCmd", "cmd %s %s");
  Set("InternationalRulePrefix", "00");
  Set("ThePath", "C:\\Program Files\\CorviskFSP");
  Set("SMTPPassword", "legacy");
  SaveAndCheck(ConfigSettings{});
  ExpectText("SMTPServer", CORVISK_EXPECTED_GATEWAY_DOMAIN);
  ExpectText("SMTPUserName", "");
  ExpectText("SMTPPasswordEnc", "");
  ExpectText("NotifyMeEMailAddress", "");
  ExpectText("CorviskPwd", "");
  ExpectText("DebugOutput", "N");
  ExpectText("NTLMAuthentication", "N");
  ExpectText("UseSSL", "N");
  ExpectText("SMTPPort", "2525");
  ExpectText("SMTPTimeout", "10");
  // Values the program only shows, or never reads, are left as they were.
  ExpectText("PreProcessCmd", "cmd %s %s");
  ExpectText("InternationalRulePrefix", "00");
  ExpectText("ThePath", "C:\\Program Files\\CorviskFSP");
  ExpectText("SMTPPassword", "legacy");

  ConfigSettings edited;
  edited.debugOutput = true;
  edited.useSsl = true;
  edited.smtpPort = -1;
  SaveAndCheck(edited);
  ExpectText("DebugOutput", "Y");
  ExpectText("UseSSL", "Y");
  ExpectText("SMTPPort", "-1");
}

TEST_F(ConfigSettingsTest, PasswordOf31BytesReachesTheProviderAnd32DoesNot) {
  ConfigSettings settings;
  settings.notifyAddress = "user@example.org";
  settings.gatewayPassword = "gateway-secret";
  settings.smtpUserName = "account";
  RegCloseKey(CreateKey());
  for (const size_t length : {31u, 32u}) {
    settings.smtpPassword = std::string(length, 'p');
    SaveAndCheck(settings);
    std::string encoded;
    for (size_t i = 0; i < length; ++i) encoded += "70";
    ExpectText("SMTPPasswordEnc", encoded);
    const ProviderRead read = ReadAsProvider();
    ASSERT_TRUE(read.result.Succeeded());
    EXPECT_EQ(read.settings.smtpPassword, length == 31 ? settings.smtpPassword : "") << length;
    EXPECT_EQ(LoadConfigSettings().smtpPassword, settings.smtpPassword) << length;
  }
}

TEST_F(ConfigSettingsTest, SaveWithoutTheKeyReportsAndCreatesNothing) {
  std::string failure;
  EXPECT_FALSE(SaveConfigSettings(ConfigSettings{}, failure));
  const std::string prefix = "Failed to open registry key: ";
  EXPECT_EQ(failure, prefix + SystemMessageText(ERROR_FILE_NOT_FOUND));
  EXPECT_GT(failure.size(), prefix.size()) << "the system's text follows";
  EXPECT_FALSE(KeyExists());
}

}  // namespace
