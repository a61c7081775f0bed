#include "installer/SilentSettings.h"

#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "cloudmail/CertificateImport.h"
#include "cloudmail/GoogleKeyImport.h"
#include "cloudmail/ProtectedData.h"
#include "common/SecureWipe.h"
#include "installer/SettingsKeyActions.h"
#include "settings/RegistryText.h"
#include "settings/Settings.h"
#include "win32/Handles.h"
#include "win32/AnsiText.h"
#include "win32/ExceptionBoundary.h"

namespace corvisk {
namespace {

struct SilentSetting {
  const wchar_t* property;
  const wchar_t* valueName;
};

constexpr SilentSetting kSilentSettings[] = {
#include "installer/SilentSettings.inc"
};

// Entries that are imported or protected rather than written as text.
constexpr wchar_t kGoogleKeyFileEntry[] = L"GoogleKeyFile";
constexpr wchar_t kClientSecretEntry[] = L"M365ClientSecret";
constexpr wchar_t kCertificateFileEntry[] = L"M365CertificateFile";
constexpr wchar_t kCertificatePasswordEntry[] = L"M365CertificatePassword";

using Entries = std::vector<std::pair<std::wstring, std::wstring>>;

LONG OpenSettingsKey(unique_hkey& settings) {
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_SET_VALUE, settings.put());
}

UINT ImportGoogleKey(const std::wstring& path, const SilentSettingsLog& log) {
  ImportedGoogleKey key;
  const CloudOutcome outcome = ImportGoogleKeyFile(path, key);
  if (FAILED(outcome.result)) {
    log("GOOGLEKEYFILE: " + outcome.text);
    return ERROR_INSTALL_FAILURE;
  }
  unique_hkey settings;
  LONG error = OpenSettingsKey(settings);
  if (error == ERROR_SUCCESS) error = StoreGoogleKey(settings.get(), key);
  if (error == ERROR_SUCCESS) log("GOOGLEKEYFILE: " + key.clientEmail + " imported. " + kDeleteGoogleKeyFileAdvice);
  return static_cast<UINT>(error);
}

UINT ProtectClientSecret(const std::wstring& secret, const SilentSettingsLog& log) {
  std::string text = ToUtf8(secret), blob;
  const DWORD protectError = ProtectSecret(text, blob);
  SecureZeroMemory(text.data(), text.size());
  if (protectError != ERROR_SUCCESS) {
    log("M365CLIENTSECRET: The secret could not be protected (error " + std::to_string(protectError) + ").");
    return ERROR_INSTALL_FAILURE;
  }
  unique_hkey settings;
  LONG error = OpenSettingsKey(settings);
  if (error == ERROR_SUCCESS) error = WriteRegistryBinary(settings.get(), "M365ClientSecret", blob);
  return static_cast<UINT>(error);
}

UINT ImportCertificate(const std::wstring& path, const std::wstring& password, const SilentSettingsLog& log) {
  ImportedCredential credential;
  const CloudOutcome outcome = ImportCredentialFile(path, password, credential);
  if (FAILED(outcome.result)) {
    log("M365CERTFILE: " + outcome.text);
    return ERROR_INSTALL_FAILURE;
  }
  unique_hkey settings;
  LONG error = OpenSettingsKey(settings);
  if (error == ERROR_SUCCESS) error = StoreCredential(settings.get(), credential);
  if (error == ERROR_SUCCESS)
    log("M365CERTFILE: The certificate and its key are stored, the key protected for this machine.");
  return static_cast<UINT>(error);
}

// The text of the entry named name, empty when it is not given.
std::wstring EntryText(const Entries& entries, std::wstring_view name) {
  for (const auto& [entryName, text] : entries)
    if (entryName == name) return text;
  return {};
}

UINT WriteEntry(const Entries& entries, const std::wstring& name, const std::wstring& text,
                const SilentSettingsLog& log) {
  if (name == kGoogleKeyFileEntry) return ImportGoogleKey(text, log);
  if (name == kClientSecretEntry) return ProtectClientSecret(text, log);
  if (name == kCertificateFileEntry) {
    std::wstring password = EntryText(entries, kCertificatePasswordEntry);
    const UINT imported = ImportCertificate(text, password, log);
    SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
    return imported;
  }
  if (name == kCertificatePasswordEntry) {
    if (!EntryText(entries, kCertificateFileEntry).empty()) return ERROR_SUCCESS;
    log("M365CERTPASSWORD: It is given without M365CERTFILE, the file it opens.");
    return ERROR_INSTALL_FAILURE;
  }
  std::string value = ToAnsi(text);
  const UINT written = WriteSettingsText(ToAnsi(name).c_str(), value);
  WipeText(value);
  return written;
}

bool IsSilentSettingValue(std::wstring_view name) {
  for (const SilentSetting& setting : kSilentSettings)
    if (name == setting.valueName) return true;
  return false;
}

// One "Value=LENGTH:TEXT" entry from the front of rest; false when malformed.
bool TakeEntry(std::wstring_view& rest, std::wstring& name, std::wstring& text) {
  const size_t equals = rest.find(L'=');
  const size_t colon = rest.find(L':', equals);
  if (equals == std::wstring_view::npos || colon == std::wstring_view::npos || colon == equals + 1) return false;
  size_t length = 0;
  for (const wchar_t digit : rest.substr(equals + 1, colon - equals - 1)) {
    if (digit < L'0' || digit > L'9' || length > rest.size()) return false;
    length = length * 10 + static_cast<size_t>(digit - L'0');
  }
  if (rest.size() - colon - 1 < length) return false;
  name.assign(rest.substr(0, equals));
  text.assign(rest.substr(colon + 1, length));
  rest.remove_prefix(colon + 1 + length);
  return true;
}

}  // namespace

std::wstring GatherSilentSettings(const std::function<std::wstring(const wchar_t* property)>& readProperty) {
  std::wstring gathered;
  for (const SilentSetting& setting : kSilentSettings) {
    std::wstring text = readProperty(setting.property);
    if (text.empty()) continue;
    // Appended piece by piece: a temporary holding the secret would go back
    // to the heap unwiped.
    gathered.append(setting.valueName).append(1, L'=').append(std::to_wstring(text.size())).append(1, L':');
    gathered += text;
    WipeText(text);
  }
  return gathered;
}

UINT WriteSilentSettings(const std::wstring& gathered, const SilentSettingsLog& log) noexcept {
  return ReturnOnException(UINT{ERROR_INSTALL_FAILURE}, [&] {
    // All are read before any is written: a certificate file needs its
    // password, which comes later.
    Entries entries;
    entries.reserve(std::size(kSilentSettings));  // no unwiped copies left by growth
    std::wstring_view rest = gathered;
    std::wstring name, text;
    while (!rest.empty()) {
      if (!TakeEntry(rest, name, text) || !IsSilentSettingValue(name)) return UINT{ERROR_INVALID_DATA};
      entries.emplace_back(name, text);
    }
    UINT written = ERROR_SUCCESS;
    for (const auto& [entryName, entryText] : entries)
      if (written == ERROR_SUCCESS) written = WriteEntry(entries, entryName, entryText, log);
    for (auto& [entryName, entryText] : entries) SecureZeroMemory(entryText.data(), entryText.size() * sizeof(wchar_t));
    SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    return written;
  });
}

}  // namespace corvisk
