#include "CloudStandIns.h"

#include <gtest/gtest.h>

#include "GatewayMailbox.h"
#include "SettingsKey.h"
#include "cloudmail/ProtectedData.h"

namespace corvisk::test {

std::wstring CloudFile(const std::string& name) {
  return WinePath(LaneFolder("CORVISK_CLOUD_FOLDER", CORVISK_CLOUD_FOLDER) + "/" + name);
}

std::string StandInHost(const char* portFile) {
  std::string port = ReadWholeFile(CloudFile(portFile));
  port.erase(port.find_last_not_of("\r\n") + 1);
  return "localhost:" + port;
}

size_t StandInLogLines(const std::string& log, const std::string& prefix) {
  const std::string text = ReadWholeFile(CloudFile(log));
  size_t count = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    if (text.compare(at, prefix.size(), prefix) == 0) ++count;
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return count;
}

void WriteBinarySetting(const char* name, const std::string& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr), 0);
  RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                 static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
}

std::string Protected(const std::string& secret) {
  std::string blob;
  EXPECT_EQ(ProtectSecret(secret, blob), 0u);
  return blob;
}

}  // namespace corvisk::test
