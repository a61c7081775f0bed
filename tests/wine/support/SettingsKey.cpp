#include "SettingsKey.h"

#include <gtest/gtest.h>

#include "win32/Handles.h"

namespace corvisk::test {

void DeleteSettingsKey() {
  const LSTATUS status = RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
  ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
}

void WriteSetting(const char* name, const std::string& value) {
  unique_hkey key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1)),
            ERROR_SUCCESS);
}

void DeleteSetting(const char* name) {
  unique_hkey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_WRITE, key.put()) == ERROR_SUCCESS)
    RegDeleteValueA(key.get(), name);
}

void WriteMinimalSettings() {
  WriteSetting("NotifyMeEMailAddress", "sender@example.com");
  WriteSetting("CorviskPwd", "gateway-secret");
}

}  // namespace corvisk::test
