#include "cloudmail/GoogleSettings.h"

#include "settings/RegistryText.h"
#include "settings/Settings.h"
#include "win32/Handles.h"

namespace corvisk {
namespace {

// Addresses and URIs of the transport.
constexpr DWORD kTextValue = 256;

void ReadTrimmed(HKEY key, const char* name, std::string& text) {
  if (ReadRegistryText(key, name, kTextValue, text) == ERROR_SUCCESS) text = TrimBlanks(text);
}

}  // namespace

LONG ReadGoogleSettings(GoogleSettings& settings) {
  settings = GoogleSettings();
  unique_hkey key;
  const LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, key.put());
  if (error != ERROR_SUCCESS) return error;
  ReadTrimmed(key.get(), "GoogleClientEmail", settings.clientEmail);
  ReadTrimmed(key.get(), "GoogleMailbox", settings.mailbox);
  ReadRegistryHost(key.get(), "GoogleTokenUri", settings.tokenUri);
  ReadRegistryHost(key.get(), "GoogleApiHost", settings.apiHost);
  ReadRegistryBinary(key.get(), "GooglePrivateKey", settings.privateKeyBlob);
  return ERROR_SUCCESS;
}

}  // namespace corvisk
