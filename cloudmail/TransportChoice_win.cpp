#include "cloudmail/TransportChoice.h"

#include "cloudmail/CertificateImport.h"
#include "cloudmail/GoogleKeyImport.h"
#include "settings/RegistryText.h"
#include "settings/Settings.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"

namespace corvisk {
namespace {

const char* TransportName(const TransportChoice& choice) {
  if (choice.microsoft365) return kMicrosoft365Transport;
  return choice.google ? kGoogleTransport : "SMTP";
}

LONG WriteMicrosoft365(HKEY key, const TransportChoice& choice) {
  const M365Settings& settings = choice.settings;
  const std::pair<const char*, const std::string*> texts[] = {{"M365TenantId", &settings.tenantId},
                                                              {"M365ClientId", &settings.clientId},
                                                              {"M365Mailbox", &settings.mailbox},
                                                              {"M365AuthorityHost", &settings.authorityHost},
                                                              {"M365GraphHost", &settings.graphHost}};
  LONG error = ERROR_SUCCESS;
  for (const auto& [name, value] : texts) {
    if ((error = WriteRegistryText(key, name, *value)) != ERROR_SUCCESS) return error;
  }
  if (choice.newSecret && (error = WriteRegistryBinary(key, "M365ClientSecret", settings.clientSecretBlob)))
    return error;
  if (choice.newCertificate) error = StoreCredential(key, {settings.certificate, settings.certificateKeyBlob});
  return error;
}

LONG WriteGoogle(HKEY key, const TransportChoice& choice) {
  const GoogleSettings& settings = choice.googleSettings;
  LONG error = WriteRegistryText(key, "GoogleMailbox", settings.mailbox);
  if (error == ERROR_SUCCESS && choice.newGoogleKey)
    error = StoreGoogleKey(key, {settings.clientEmail, settings.tokenUri, settings.privateKeyBlob});
  return error;
}

LONG WriteChoice(HKEY key, const TransportChoice& choice) {
  LONG error = ERROR_SUCCESS;
  if (choice.microsoft365 || choice.google || choice.transportStored)
    error = WriteRegistryText(key, "MailTransport", TransportName(choice));
  if (error) return error;
  if (choice.microsoft365) return WriteMicrosoft365(key, choice);
  return choice.google ? WriteGoogle(key, choice) : ERROR_SUCCESS;
}

}  // namespace

bool SaveTransportChoice(const TransportChoice& choice, std::string& failureText) {
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

}  // namespace corvisk
