#include "CloudStandIns.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "GatewayMailbox.h"
#include "SettingsKey.h"
#include "cloudmail/ProtectedData.h"

namespace corvisk::test {

std::wstring CloudFile(const std::string& name) { return WinePath(std::string(CORVISK_CLOUD_FOLDER) + "/" + name); }

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

std::wstring WriteLargeDocument(const std::wstring& path, unsigned rows) {
  constexpr uint32_t kWidth = 1728;
  const uint32_t stripBytes = kWidth / 8 * rows;
  const uint16_t entries[][2] = {{256, kWidth}, {257, 0}, {258, 1}, {259, 1}, {262, 0}, {273, 0}, {278, 0}, {279, 0}};
  constexpr uint32_t kStripAt = 8 + 2 + 8 * 12 + 4;
  std::string bytes("II*\0\x08\0\0\0", 8);
  const auto put16 = [&bytes](uint16_t value) { bytes.append(reinterpret_cast<const char*>(&value), 2); };
  const auto put32 = [&bytes](uint32_t value) { bytes.append(reinterpret_cast<const char*>(&value), 4); };
  put16(8);
  for (const auto& [tag, value] : entries) {
    put16(tag);
    put16(4);
    put32(1);
    put32(tag == 257 ? rows : tag == 273 ? kStripAt : tag == 278 ? rows : tag == 279 ? stripBytes : value);
  }
  put32(0);
  std::mt19937 random(7);
  bytes.reserve(bytes.size() + stripBytes);
  for (uint32_t i = 0; i < stripBytes; ++i) bytes += static_cast<char>(random() & 0xFF);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return path;
}

}  // namespace corvisk::test
