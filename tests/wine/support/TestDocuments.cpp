#include "TestDocuments.h"

#include <windows.h>

#include <random>

namespace corvisk::test {

std::wstring WriteOneStripDocument(const std::wstring& path, const std::vector<TiffField>& fields,
                                   const std::string& strip) {
  const uint32_t stripAt = static_cast<uint32_t>(8 + 2 + fields.size() * 12 + 4);
  std::string bytes("II*\0\x08\0\0\0", 8);
  const auto put16 = [&bytes](uint16_t value) { bytes.append(reinterpret_cast<const char*>(&value), 2); };
  const auto put32 = [&bytes](uint32_t value) { bytes.append(reinterpret_cast<const char*>(&value), 4); };
  put16(static_cast<uint16_t>(fields.size()));
  for (const TiffField& field : fields) {
    const uint32_t value = field.tag == 273 ? stripAt : field.value;
    put16(field.tag);
    put16(field.isLong ? 4 : 3);
    put32(1);
    if (field.isLong)
      put32(value);
    else
      put16(static_cast<uint16_t>(value)), put16(0);
  }
  put32(0);
  bytes += strip;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return path;
}

std::wstring WriteLargeDocument(const std::wstring& path, unsigned rows) {
  constexpr uint32_t kWidth = 1728;
  const uint32_t stripBytes = kWidth / 8 * rows;
  std::mt19937 random(7);
  std::string strip;
  strip.reserve(stripBytes);
  for (uint32_t i = 0; i < stripBytes; ++i) strip += static_cast<char>(random() & 0xFF);
  return WriteOneStripDocument(path,
                               {{256, true, kWidth},
                                {257, true, rows},
                                {258, true, 1},
                                {259, true, 1},
                                {262, true, 0},
                                {273, true, 0},
                                {278, true, rows},
                                {279, true, stripBytes}},
                               strip);
}

}  // namespace corvisk::test
