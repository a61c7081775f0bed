#include "cloudmail/M365Settings.h"

#include "settings/RegistryText.h"
#include "settings/Settings.h"
#include "win32/Handles.h"

namespace corvisk {
namespace {

// Texts of the transport: GUIDs, domain and host names, addresses.
constexpr DWORD kTextValue = 256;

}  // namespace

LONG ReadMailTransport(std::string& transport) {
  unique_hkey key;
  const LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, key.put());
  if (error != ERROR_SUCCESS) return error;
  return ReadRegistryText(key.get(), "MailTransport", kTextValue, transport);
}

LONG ReadM365Settings(M365Settings& settings) {
  settings = M365Settings();
  unique_hkey key;
  const LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, key.put());
  if (error != ERROR_SUCCESS) return error;
  ReadRegistryText(key.get(), "M365TenantId", kTextValue, settings.tenantId);
  ReadRegistryText(key.get(), "M365ClientId", kTextValue, settings.clientId);
  ReadRegistryText(key.get(), "M365Mailbox", kTextValue, settings.mailbox);
  settings.tenantId = TrimBlanks(settings.tenantId);
  settings.clientId = TrimBlanks(settings.clientId);
  settings.mailbox = TrimBlanks(settings.mailbox);
  ReadRegistryHost(key.get(), "M365AuthorityHost", settings.authorityHost);
  ReadRegistryHost(key.get(), "M365GraphHost", settings.graphHost);
  ReadRegistryBinary(key.get(), "M365ClientSecret", settings.clientSecretBlob);
  ReadRegistryBinary(key.get(), "M365Certificate", settings.certificate);
  ReadRegistryBinary(key.get(), "M365CertificateKey", settings.certificateKeyBlob);
  return ERROR_SUCCESS;
}

}  // namespace corvisk
