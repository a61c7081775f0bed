#include "settings/RegistryText.h"

#include <algorithm>

#include "settings/Settings.h"

namespace corvisk {

// Reads a value into a buffer of size bytes, terminator included, and leaves
// text alone unless the read succeeds. A value that does not fit fails with
// ERROR_MORE_DATA, as if it were absent. The registry type is not checked, so
// the data need not be terminated: the text ends at the first zero byte, and
// data that fills the whole buffer without one is a value that does not fit.
LONG ReadRegistryText(HKEY key, const char* name, DWORD size, std::string& text) {
  std::string buffer(size, '\0');
  DWORD count = size;
  const LONG error = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &count);
  if (error != ERROR_SUCCESS) return error;
  const char* end = std::find(buffer.data(), buffer.data() + count, '\0');
  const size_t length = static_cast<size_t>(end - buffer.data());
  if (length == size) return ERROR_MORE_DATA;
  text.assign(buffer.data(), length);
  return ERROR_SUCCESS;
}

void ReadRegistryBinary(HKEY key, const char* name, std::string& bytes) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size > kMaxBinaryValue) return;
  std::string value(size, '\0');
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
    return;
  value.resize(size);
  bytes = std::move(value);
}

void ReadRegistryHost(HKEY key, const char* name, std::string& host) {
  std::string text;
  if (ReadRegistryText(key, name, 256, text) == ERROR_SUCCESS && !TrimBlanks(text).empty()) host = TrimBlanks(text);
}

// A flag or number that cannot be read keeps the value it had.
void ReadRegistryFlag(HKEY key, const char* name, DWORD size, bool& flag) {
  std::string text;
  if (ReadRegistryText(key, name, size, text) == ERROR_SUCCESS) flag = IsFlagOn(text);
}

void ReadRegistryNumber(HKEY key, const char* name, DWORD size, int& number) {
  std::string text;
  if (ReadRegistryText(key, name, size, text) == ERROR_SUCCESS) number = ParseNumber(text, number);
}

// A REG_SZ value with its terminating zero.
LONG WriteRegistryText(HKEY key, const char* name, const std::string& text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
}

LONG WriteRegistryBinary(HKEY key, const char* name, const std::string& bytes) {
  return RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                        static_cast<DWORD>(bytes.size()));
}

RegistryValue TextValue(const char* name, const std::string& text) {
  return {name, REG_SZ, std::string(text.c_str(), text.size() + 1)};
}

RegistryValue BinaryValue(const char* name, const std::string& bytes) { return {name, REG_BINARY, bytes}; }

LONG WriteRegistryValue(HKEY key, const RegistryValue& value) {
  return RegSetValueExA(key, value.name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(value.bytes.data()),
                        static_cast<DWORD>(value.bytes.size()));
}

LONG WriteRegistryValues(HKEY key, const std::vector<RegistryValue>& values) {
  for (const RegistryValue& value : values)
    if (const LONG error = WriteRegistryValue(key, value)) return error;
  return ERROR_SUCCESS;
}

}  // namespace corvisk
