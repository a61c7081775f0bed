#include "installer/SilentSettings.h"

#include <cwchar>
#include <string_view>

#include "cloudmail/GoogleKeyImport.h"
#include "installer/SettingsKeyActions.h"
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

// The entry whose text names a key file to import rather than a value.
constexpr wchar_t kGoogleKeyFileEntry[] = L"GoogleKeyFile";

UINT ImportGoogleKey(const std::wstring& path, const SilentSettingsLog& log) {
  ImportedGoogleKey key;
  const CloudOutcome outcome = ImportGoogleKeyFile(path, key);
  if (FAILED(outcome.result)) {
    log("GOOGLEKEYFILE: " + outcome.text);
    return ERROR_INSTALL_FAILURE;
  }
  unique_hkey settings;
  LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_SET_VALUE, settings.put());
  if (error == ERROR_SUCCESS) error = StoreGoogleKey(settings.get(), key);
  if (error == ERROR_SUCCESS) log("GOOGLEKEYFILE: " + key.clientEmail + " imported. " + kDeleteGoogleKeyFileAdvice);
  return static_cast<UINT>(error);
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
    const std::wstring text = readProperty(setting.property);
    if (text.empty()) continue;
    gathered += std::wstring(setting.valueName) + L'=' + std::to_wstring(text.size()) + L':' + text;
  }
  return gathered;
}

UINT WriteSilentSettings(const std::wstring& gathered, const SilentSettingsLog& log) noexcept {
  return ReturnOnException(UINT{ERROR_INSTALL_FAILURE}, [&] {
    std::wstring_view rest = gathered;
    std::wstring name, text;
    while (!rest.empty()) {
      if (!TakeEntry(rest, name, text) || !IsSilentSettingValue(name)) return UINT{ERROR_INVALID_DATA};
      const UINT written = name == kGoogleKeyFileEntry ? ImportGoogleKey(text, log)
                                                       : WriteSettingsText(ToAnsi(name).c_str(), ToAnsi(text));
      if (written != ERROR_SUCCESS) return written;
    }
    return UINT{ERROR_SUCCESS};
  });
}

}  // namespace corvisk
