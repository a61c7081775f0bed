#include "installer/SilentSettings.h"

#include <string_view>
#include <utility>
#include <vector>

#include "cloudmail/CertificateImport.h"
#include "cloudmail/GoogleKeyImport.h"
#include "cloudmail/ProtectedData.h"
#include "common/SecureWipe.h"
#include "installer/ScriptedValues.h"
#include "settings/Settings.h"
#include "win32/AnsiText.h"
#include "win32/ExceptionBoundary.h"
#include "win32/Handles.h"

namespace corvisk {
namespace {

struct SilentSetting {
  const char* property;
  const char* valueName;
  const char* flags;  // each between blanks, as " hidden protected "
};

constexpr SilentSetting kSilentSettings[] = {
#include "installer/SilentSettings.inc"
};

bool HasFlag(const SilentSetting& setting, std::string_view flag) {
  return std::string_view(setting.flags).find(" " + std::string(flag) + " ") != std::string_view::npos;
}

// The setting that carries the flag.
const SilentSetting* SettingWith(std::string_view flag) {
  for (const SilentSetting& setting : kSilentSettings)
    if (HasFlag(setting, flag)) return &setting;
  return nullptr;
}

// The values of the given settings, gathered one setting at a time.
struct Gathering {
  const PropertyReader& readProperty;
  const SilentSettingsLog& log;
  ScriptedValues values;
};

UINT Refuse(const Gathering& gathering, const SilentSetting& setting, const std::string& reason) {
  gathering.log(setting.property + std::string(": ") + reason);
  return ERROR_INSTALL_FAILURE;
}

std::string ProtectionFailure(DWORD error) {
  return "The secret could not be protected (error " + std::to_string(error) + ").";
}

void AddPlain(Gathering& gathering, std::vector<RegistryValue> values) {
  for (RegistryValue& value : values) gathering.values.push_back({std::move(value), ScriptedValue::Form::Plain});
}

// A hidden one is kept in clear by the settings key, but never by the script.
UINT AddText(Gathering& gathering, const SilentSetting& setting, const std::wstring& text) {
  std::string ansi = ToAnsi(text);
  ScriptedValue value{TextValue(setting.valueName, ansi), ScriptedValue::Form::Plain};
  WipeText(ansi);
  if (HasFlag(setting, "hidden"))
    if (const DWORD error = SealValue(value)) return Refuse(gathering, setting, ProtectionFailure(error));
  gathering.values.push_back(std::move(value));
  return ERROR_SUCCESS;
}

UINT AddProtectedText(Gathering& gathering, const SilentSetting& setting, const std::wstring& text) {
  std::string secret = ToUtf8(text), blob;
  const DWORD error = ProtectSecret(secret, blob);
  WipeText(secret);
  if (error != ERROR_SUCCESS) return Refuse(gathering, setting, ProtectionFailure(error));
  AddPlain(gathering, {BinaryValue(setting.valueName, blob)});
  return ERROR_SUCCESS;
}

UINT AddGoogleKey(Gathering& gathering, const SilentSetting& setting, const std::wstring& path) {
  ImportedGoogleKey key;
  const CloudOutcome outcome = ImportGoogleKeyFile(path, key);
  if (FAILED(outcome.result)) return Refuse(gathering, setting, outcome.text);
  gathering.log(setting.property + (": " + key.clientEmail) + " imported. " + kDeleteGoogleKeyFileAdvice);
  AddPlain(gathering, GoogleKeyValues(key));
  return ERROR_SUCCESS;
}

UINT AddCredential(Gathering& gathering, const SilentSetting& setting, const std::wstring& path) {
  const SilentSetting* password = SettingWith("certpassword");
  std::wstring passwordText = password ? gathering.readProperty(password->property) : std::wstring();
  ImportedCredential credential;
  const CloudOutcome outcome = ImportCredentialFile(path, passwordText, credential);
  WipeText(passwordText);
  if (FAILED(outcome.result)) return Refuse(gathering, setting, outcome.text);
  gathering.log(setting.property + std::string(": The certificate and its key are stored, the key protected for this "
                                               "machine."));
  AddPlain(gathering, CredentialValues(credential));
  return ERROR_SUCCESS;
}

// The password only opens the certificate file; given alone, it is a mistake.
UINT CheckCertificateFileGiven(const Gathering& gathering, const SilentSetting& setting) {
  const SilentSetting* file = SettingWith("certfile");
  if (file && !gathering.readProperty(file->property).empty()) return ERROR_SUCCESS;
  return Refuse(gathering, setting,
                std::string("It is given without ") + (file ? file->property : "") + ", the file it opens.");
}

UINT AddSetting(Gathering& gathering, const SilentSetting& setting, const std::wstring& text) {
  if (HasFlag(setting, "keyfile")) return AddGoogleKey(gathering, setting, text);
  if (HasFlag(setting, "certfile")) return AddCredential(gathering, setting, text);
  if (HasFlag(setting, "certpassword")) return CheckCertificateFileGiven(gathering, setting);
  if (HasFlag(setting, "protected")) return AddProtectedText(gathering, setting, text);
  return AddText(gathering, setting, text);
}

// The values that values replace, as the settings key holds them now, each
// sealed when its new value is. A first installation replaces nothing: a
// rollback deletes its values again.
LONG ReadReplacedValues(const ScriptedValues& values, ScriptedValues& replaced) {
  unique_hkey key;
  const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_QUERY_VALUE, key.put());
  for (const ScriptedValue& value : values) {
    ScriptedValue earlier{{value.value.name, REG_NONE, {}}, ScriptedValue::Form::Absent};
    if (opened == ERROR_SUCCESS)
      if (const LONG error =
              ReadScriptedValue(key.get(), value.value.name, value.form == ScriptedValue::Form::Sealed, earlier))
        return error;
    replaced.push_back(std::move(earlier));
  }
  return opened == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : opened;
}

// Run without elevation (a filtered administrator's token under UAC), the
// immediate part may not read the key; then nothing could restore it.
std::string UnreadableSettingsText(LONG error) {
  std::string text = "The settings that this installation replaces cannot be read (error " + std::to_string(error) +
                     "), so a failed installation could not put them back.";
  if (error == ERROR_ACCESS_DENIED) text += " Run it from an elevated command prompt.";
  return text;
}

}  // namespace

UINT GatherSilentSettings(const PropertyReader& readProperty, const SilentSettingsLog& log,
                          GatheredSettings& gathered) noexcept {
  return ReturnOnException(UINT{ERROR_INSTALL_FAILURE}, [&] {
    gathered = GatheredSettings();
    Gathering gathering{readProperty, log, {}};
    for (const SilentSetting& setting : kSilentSettings) {
      std::wstring text = readProperty(setting.property);
      const UINT added = text.empty() ? UINT{ERROR_SUCCESS} : AddSetting(gathering, setting, text);
      WipeText(text);
      if (added != ERROR_SUCCESS) return added;
    }
    if (gathering.values.empty()) return UINT{ERROR_SUCCESS};
    ScriptedValues replaced;
    if (const LONG error = ReadReplacedValues(gathering.values, replaced)) {
      log(UnreadableSettingsText(error));
      return UINT{ERROR_INSTALL_FAILURE};
    }
    gathered.write = EncodeScriptedValues(gathering.values);
    gathered.restore = EncodeScriptedValues(replaced);
    return UINT{ERROR_SUCCESS};
  });
}

UINT WriteSilentSettings(const std::string& data, const SilentSettingsLog& log) noexcept {
  return ReturnOnException(UINT{ERROR_INSTALL_FAILURE}, [&] {
    ScriptedValues values;
    if (!DecodeScriptedValues(data, values)) return UINT{ERROR_INVALID_DATA};
    unique_hkey key;
    LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_SET_VALUE, key.put());
    if (error == ERROR_SUCCESS) error = WriteScriptedValues(key.get(), values);
    if (error != ERROR_SUCCESS)
      log("Not every setting could be written into the settings key (error " + std::to_string(error) + ").");
    return static_cast<UINT>(error);
  });
}

}  // namespace corvisk
