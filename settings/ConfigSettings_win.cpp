#include <utility>

#include "common/TextFormat.h"
#include "settings/PasswordCodec.h"
#include "settings/RegistryText.h"
#include "settings/SettingsStore.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"

namespace corvisk {
namespace {

// The configuration program's buffers, in bytes with the terminator.
constexpr DWORD kTextValue = 255;
constexpr DWORD kShortValue = 64;

// Older installations kept the password as plain text under another name;
// that value is used only while no encoded one can be read. The next save
// stores it encoded and leaves the old value in place.
void LoadSmtpPassword(HKEY key, ConfigSettings& settings) {
  std::string stored;
  if (ReadRegistryText(key, "SMTPPasswordEnc", kTextValue, stored) == ERROR_SUCCESS)
    settings.smtpPassword = DecodePassword(stored);
  else
    ReadRegistryText(key, "SMTPPassword", kTextValue, settings.smtpPassword);
}

void LoadNotifyAddress(HKEY key, ConfigSettings& settings) {
  std::string text;
  if (ReadRegistryText(key, "NotifyMeEMailAddress", kTextValue, text) == ERROR_SUCCESS)
    settings.notifyAddress = TrimBlanks(text);
}

std::optional<std::string> LoadShownText(HKEY key, const char* name) {
  std::string text;
  if (ReadRegistryText(key, name, kTextValue, text) != ERROR_SUCCESS) return std::nullopt;
  return text;
}

bool Fail(const char* what, LONG error, std::string& failureText) {
  failureText = what + SystemMessageText(static_cast<DWORD>(error));
  return false;
}

}  // namespace

// The settings as the configuration program shows them. A key that does not
// open leaves every default in place and is not reported. The program offers
// NTLM authentication and SSL as alternatives, so UseSSL is not read while
// NTLM is on (and the next save writes it off).
ConfigSettings LoadConfigSettings() {
  ConfigSettings settings;
  unique_hkey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return settings;
  ReadRegistryText(key.get(), "SMTPServer", kTextValue, settings.smtpServer);
  ReadRegistryText(key.get(), "SMTPUserName", kTextValue, settings.smtpUserName);
  LoadSmtpPassword(key.get(), settings);
  LoadNotifyAddress(key.get(), settings);
  ReadRegistryText(key.get(), "CorviskPwd", kShortValue, settings.gatewayPassword);
  ReadRegistryFlag(key.get(), "DebugOutput", kTextValue, settings.debugOutput);
  ReadRegistryNumber(key.get(), "SMTPPort", kTextValue, settings.smtpPort);
  ReadRegistryNumber(key.get(), "SMTPTimeout", kTextValue, settings.smtpTimeout);
  ReadRegistryFlag(key.get(), "NTLMAuthentication", kTextValue, settings.ntlmAuthentication);
  if (!settings.ntlmAuthentication) ReadRegistryFlag(key.get(), "UseSSL", kShortValue, settings.useSsl);
  settings.preprocessCommand = LoadShownText(key.get(), "PreProcessCmd");
  settings.internationalPrefix = LoadShownText(key.get(), "InternationalRulePrefix");
  return settings;
}

// Writes what the configuration program edits, in a fixed order, into the
// existing key (the installer creates it). The first failure stops the save;
// values written before it stay. failureText then holds the one-line message
// for the user. The legacy plain password, the preprocessing command, the
// international prefix and the installation folder are never touched.
bool SaveConfigSettings(const ConfigSettings& settings, std::string& failureText) {
  unique_hkey key;
  LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_WRITE | KEY_QUERY_VALUE, key.put());
  if (error != ERROR_SUCCESS) return Fail("Failed to open registry key: ", error, failureText);
  const std::pair<const char*, std::string> values[] = {
      {"SMTPServer", settings.smtpServer},
      {"SMTPUserName", settings.smtpUserName},
      {"SMTPPasswordEnc", EncodePassword(settings.smtpPassword)},
      {"NotifyMeEMailAddress", settings.notifyAddress},
      {"CorviskPwd", settings.gatewayPassword},
      {"DebugOutput", FlagText(settings.debugOutput)},
      {"NTLMAuthentication", FlagText(settings.ntlmAuthentication)},
      {"UseSSL", FlagText(settings.useSsl)},
      {"SMTPPort", FormatText("%d", settings.smtpPort)},
      {"SMTPTimeout", FormatText("%d", settings.smtpTimeout)},
  };
  for (const auto& [name, text] : values) {
    error = WriteRegistryText(key.get(), name, text);
    if (error != ERROR_SUCCESS) return Fail("Failed to save data into registry: ", error, failureText);
  }
  RegFlushKey(key.get());
  return true;
}

}  // namespace corvisk
