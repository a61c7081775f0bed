#pragma once
// Values of the settings key, all kept as text whatever their registry type.
#include <windows.h>

#include <string>
#include <vector>

namespace corvisk {

// One value as RegSetValueExA takes it: for REG_SZ, the text with its
// terminating zero.
struct RegistryValue {
  std::string name;
  DWORD type = REG_NONE;
  std::string bytes;
};

LONG ReadRegistryText(HKEY key, const char* name, DWORD size, std::string& text);
void ReadRegistryFlag(HKEY key, const char* name, DWORD size, bool& flag);
void ReadRegistryNumber(HKEY key, const char* name, DWORD size, int& number);
// Certificates and protected keys; far more than a 4096-bit RSA key needs.
inline constexpr DWORD kMaxBinaryValue = 64 * 1024;
// A REG_BINARY value of at most kMaxBinaryValue bytes; bytes is left alone
// unless the read succeeds.
void ReadRegistryBinary(HKEY key, const char* name, std::string& bytes);
// A host name or service address of at most 255 characters, blanks trimmed;
// a missing or blank value keeps host as it is (the public service's).
void ReadRegistryHost(HKEY key, const char* name, std::string& host);
LONG WriteRegistryText(HKEY key, const char* name, const std::string& text);
LONG WriteRegistryBinary(HKEY key, const char* name, const std::string& bytes);
RegistryValue TextValue(const char* name, const std::string& text);
RegistryValue BinaryValue(const char* name, const std::string& bytes);
LONG WriteRegistryValue(HKEY key, const RegistryValue& value);
// Writes the values in order, stopping at the first failure.
LONG WriteRegistryValues(HKEY key, const std::vector<RegistryValue>& values);

}  // namespace corvisk
