#include "cloudmail/M365Settings.h"

#include "settings/RegistryText.h"
#include "settings/Settings.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"

namespace corvisk {
namespace {

// Texts of the transport: GUIDs, domain and host names, addresses.
constexpr DWORD kTextValue = 256;

LONG WriteChoice(HKEY key, const M365Choice& choice) {
  LONG error = ERROR_SUCCESS;
  if (choice.microsoft365 || choice.transportStored)
    error = WriteRegistryText(key, "MailTransport", choice.microsoft365 ? kMicrosoft365Transport : "SMTP");
  if (error || !choice.microsoft365) return error;
  const M365Settings& settings = choice.settings;
  const std::pair<const char*, const std::string*> texts[] = {{"M365TenantId", &settings.tenantId},
                                                              {"M365ClientId", &settings.clientId},
                                                              {"M365Mailbox", &settings.mailbox},
                                                              {"M365AuthorityHost", &settings.authorityHost},
                                                              {"M365GraphHost", &settings.graphHost}};
  for (const auto& [name, value] : texts) {
    if ((error = WriteRegistryText(key, name, *value)) != ERROR_SUCCESS) return error;
  }
  if (choice.newSecret && (error = WriteRegistryBinary(key, "M365ClientSecret", settings.clientSecretBlob)))
    return error;
  if (choice.newCertificate && (error = WriteRegistryBinary(key, "M365Certificate", settings.certificate)))
    return error;
  if (choice.newCertificate) error = WriteRegistryBinary(key, "M365CertificateKey", settings.certificateKeyBlob);
  return error;
}

}  // namespace

LONG ReadMailTransport(std::string& transport) {
  unique_hkey key;
  const LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, key.put());
  if (error != ERROR_SUCCESS) return error;
  return ReadRegistryText(key.get(), "MailTransport", kTextValue, transport);
}

bool SaveM365Choice(const M365Choice& choice, std::string& failureText) {
  unique_hkey key;
  LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_WRITE | KEY_QUERY_VALUE, key.put());
  if (error != ERROR_SUCCESS) {
    failureText = "Failed to open registry key: " + SystemMessageText(static_cast<DWORD>(error));
    return false;
  }
  if ((error = WriteChoice(key.get(), choice)) != ERROR_SUCCESS) {
    failureText = "Failed to save data into registry: " + SystemMessageText(static_cast<DWORD>(error));
    return false;
  }
  RegFlushKey(key.get());
  return true;
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
