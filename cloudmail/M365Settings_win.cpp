#include "cloudmail/M365Settings.h"

#include "settings/RegistryText.h"
#include "settings/Settings.h"
#include "win32/Handles.h"

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

}  // namespace

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
