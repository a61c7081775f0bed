#include "cloudmail/M365Settings.h"

#include "settings/RegistryText.h"
#include "settings/Settings.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"

namespace corvisk {
namespace {

// Texts of the transport: GUIDs, domain and host names, addresses.
constexpr DWORD kTextValue = 256;
// Certificates and protected keys; far more than a 4096-bit RSA key needs.
constexpr DWORD kMaxBinaryValue = 64 * 1024;

void ReadBinary(HKEY key, const char* name, std::string& bytes) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size > kMaxBinaryValue) return;
  std::string value(size, '\0');
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
    return;
  value.resize(size);
  bytes = std::move(value);
}

// An empty host keeps the public cloud's.
void ReadHost(HKEY key, const char* name, std::string& host) {
  std::string text;
  if (ReadRegistryText(key, name, kTextValue, text) == ERROR_SUCCESS && !TrimBlanks(text).empty())
    host = TrimBlanks(text);
}

LONG WriteBinary(HKEY key, const char* name, const std::string& bytes) {
  return RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                        static_cast<DWORD>(bytes.size()));
}

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
  if (choice.newSecret && (error = WriteBinary(key, "M365ClientSecret", settings.clientSecretBlob))) return error;
  if (choice.newCertificate && (error = WriteBinary(key, "M365Certificate", settings.certificate))) return error;
  if (choice.newCertificate) error = WriteBinary(key, "M365CertificateKey", settings.certificateKeyBlob);
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
  ReadHost(key.get(), "M365AuthorityHost", settings.authorityHost);
  ReadHost(key.get(), "M365GraphHost", settings.graphHost);
  ReadBinary(key.get(), "M365ClientSecret", settings.clientSecretBlob);
  ReadBinary(key.get(), "M365Certificate", settings.certificate);
  ReadBinary(key.get(), "M365CertificateKey", settings.certificateKeyBlob);
  return ERROR_SUCCESS;
}

}  // namespace corvisk
