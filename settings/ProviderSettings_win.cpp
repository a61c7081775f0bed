#include "settings/PasswordCodec.h"
#include "settings/RegistryText.h"
#include "settings/SettingsStore.h"
#include "win32/Handles.h"

namespace corvisk {
namespace {

// The provider's buffers, in bytes with the terminator: a value that needs
// more counts as absent.
constexpr DWORD kShortValue = 64;
constexpr DWORD kAddressValue = 127;
constexpr DWORD kPrefixValue = 255;

// The password is read only after a user name was: without a name the send
// is anonymous, whatever password is stored.
void ReadSmtpAccount(HKEY key, ProviderSettings& settings) {
  if (ReadRegistryText(key, "SMTPUserName", kAddressValue, settings.smtpUserName) != ERROR_SUCCESS) return;
  std::string stored;
  if (ReadRegistryText(key, "SMTPPasswordEnc", kShortValue, stored) == ERROR_SUCCESS)
    settings.smtpPassword = DecodePassword(stored);
}

SettingsReadResult Fail(SettingsFailure failure, LONG error) {
  return SettingsReadResult{failure, static_cast<DWORD>(error)};
}

}  // namespace

// Reads the settings key as every send does, starting from the defaults.
// Values that are absent or too long keep their defaults, except the notify
// address and the gateway password, without which the provider is not
// configured; the key is closed when this returns. The DebugOutput flag goes
// to applyDebugOutput after the notify address and the preprocessing command
// were read and before the gateway password is, so the caller's log is
// already switched when a missing password fails the send.
SettingsReadResult ReadProviderSettings(ProviderSettings& settings, const DebugOutputSink& applyDebugOutput) {
  settings = ProviderSettings();
  unique_hkey key;
  LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, key.put());
  if (error != ERROR_SUCCESS) return Fail(SettingsFailure::KeyNotOpened, error);
  ReadRegistryText(key.get(), "SMTPServer", kShortValue, settings.smtpServer);
  ReadRegistryFlag(key.get(), "NTLMAuthentication", kShortValue, settings.ntlmAuthentication);
  ReadRegistryFlag(key.get(), "UseSSL", kShortValue, settings.useSsl);
  ReadSmtpAccount(key.get(), settings);
  error = ReadRegistryText(key.get(), "NotifyMeEMailAddress", kAddressValue, settings.notifyAddress);
  if (error != ERROR_SUCCESS) return Fail(SettingsFailure::NotifyAddressUnreadable, error);
  ReadRegistryText(key.get(), "PreProcessCmd", kShortValue, settings.preprocessCommand);
  bool debugOutput = false;
  ReadRegistryFlag(key.get(), "DebugOutput", kShortValue, debugOutput);
  applyDebugOutput(debugOutput);
  ReadRegistryNumber(key.get(), "SMTPPort", kShortValue, settings.smtpPort);
  ReadRegistryNumber(key.get(), "SMTPTimeout", kShortValue, settings.smtpTimeout);
  ReadRegistryText(key.get(), "InternationalRulePrefix", kPrefixValue, settings.internationalPrefix);
  error = ReadRegistryText(key.get(), "CorviskPwd", kShortValue, settings.gatewayPassword);
  if (error != ERROR_SUCCESS) return Fail(SettingsFailure::GatewayPasswordUnreadable, error);
  ReadRegistryText(key.get(), "MailTransport", kShortValue, settings.mailTransport);
  return SettingsReadResult{};
}

}  // namespace corvisk
