#include "installer/ScriptedValues.h"

#include <utility>

#include "cloudmail/ProtectedData.h"
#include "mime/MimeText.h"
#include "common/SecureWipe.h"

namespace corvisk {
namespace {

using Form = ScriptedValue::Form;

// By Form: plain, sealed, absent.
constexpr std::string_view kFormLetters = "PSA";
// Registry types are small numbers; more digits mean damaged data.
constexpr size_t kMaxTypeDigits = 4;

bool IsValueName(std::string_view name) {
  if (name.empty()) return false;
  for (const char c : name)
    if (!(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z') && !(c >= '0' && c <= '9')) return false;
  return true;
}

bool TakeForm(std::string_view& text, Form& form) {
  const size_t at = text.empty() ? std::string_view::npos : kFormLetters.find(text.front());
  if (at == std::string_view::npos) return false;
  form = static_cast<Form>(at);
  text.remove_prefix(1);
  return true;
}

bool TakeType(std::string_view& text, DWORD& type) {
  const size_t colon = text.find(':');
  if (colon == 0 || colon == std::string_view::npos || colon > kMaxTypeDigits) return false;
  type = 0;
  for (const char digit : text.substr(0, colon)) {
    if (digit < '0' || digit > '9') return false;
    type = type * 10 + static_cast<DWORD>(digit - '0');
  }
  text.remove_prefix(colon + 1);
  return true;
}

// One entry, without its closing semicolon.
bool ParseEntry(std::string_view text, ScriptedValue& entry) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos || !IsValueName(text.substr(0, equals))) return false;
  entry.value.name.assign(text.substr(0, equals));
  text.remove_prefix(equals + 1);
  if (!TakeForm(text, entry.form)) return false;
  if (entry.form == Form::Absent) return text.empty();
  return TakeType(text, entry.value.type) && DecodeBase64(text, entry.value.bytes);
}

LONG DeleteValue(HKEY key, const std::string& name) {
  const LONG error = RegDeleteValueA(key, name.c_str());
  return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

LONG WriteSealedValue(HKEY key, const RegistryValue& sealed) {
  RegistryValue opened{sealed.name, sealed.type, {}};
  LONG error = static_cast<LONG>(UnprotectSecret(sealed.bytes, opened.bytes));
  if (error == ERROR_SUCCESS) error = WriteRegistryValue(key, opened);
  WipeText(opened.bytes);
  return error;
}

LONG WriteScriptedValue(HKEY key, const ScriptedValue& entry) {
  switch (entry.form) {
    case Form::Absent:
      return DeleteValue(key, entry.value.name);
    case Form::Sealed:
      return WriteSealedValue(key, entry.value);
    default:
      return WriteRegistryValue(key, entry.value);
  }
}

}  // namespace

DWORD SealValue(ScriptedValue& value) {
  std::string blob;
  const DWORD error = ProtectSecret(value.value.bytes, blob);
  WipeText(value.value.bytes);
  if (error != ERROR_SUCCESS) return error;
  value.value.bytes = std::move(blob);
  value.form = Form::Sealed;
  return ERROR_SUCCESS;
}

std::string EncodeScriptedValues(const ScriptedValues& values) {
  std::string text;
  for (const ScriptedValue& entry : values) {
    text.append(entry.value.name).append(1, '=').append(1, kFormLetters[static_cast<size_t>(entry.form)]);
    if (entry.form != Form::Absent)
      text.append(std::to_string(entry.value.type)).append(1, ':').append(EncodeBase64(entry.value.bytes));
    text += ';';
  }
  return text;
}

bool DecodeScriptedValues(std::string_view text, ScriptedValues& values) {
  values.clear();
  while (!text.empty()) {
    const size_t end = text.find(';');
    ScriptedValue entry;
    if (end == std::string_view::npos || !ParseEntry(text.substr(0, end), entry)) {
      values.clear();
      return false;
    }
    values.push_back(std::move(entry));
    text.remove_prefix(end + 1);
  }
  return true;
}

LONG ReadScriptedValue(HKEY key, const std::string& name, bool seal, ScriptedValue& value) {
  value = ScriptedValue{{name, REG_NONE, {}}, Form::Absent};
  DWORD size = 0;
  LONG error = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size);
  if (error == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (error != ERROR_SUCCESS) return error;
  std::string bytes(size, '\0');
  error = RegQueryValueExA(key, name.c_str(), nullptr, &value.value.type, reinterpret_cast<BYTE*>(bytes.data()), &size);
  if (error != ERROR_SUCCESS) {
    WipeText(bytes);
    return error;
  }
  bytes.resize(size);
  value.value.bytes = std::move(bytes);
  value.form = Form::Plain;
  return seal ? static_cast<LONG>(SealValue(value)) : ERROR_SUCCESS;
}

LONG WriteScriptedValues(HKEY key, const ScriptedValues& values) {
  LONG first = ERROR_SUCCESS;
  for (const ScriptedValue& value : values) {
    const LONG error = WriteScriptedValue(key, value);
    if (first == ERROR_SUCCESS) first = error;
  }
  return first;
}

}  // namespace corvisk
