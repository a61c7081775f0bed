#pragma once
// Fax documents the tests write for themselves: one page in one
// uncompressed strip.
#include <cstdint>
#include <string>
#include <vector>

namespace corvisk::test {

struct TiffField {
  uint16_t tag;
  bool isLong;  // LONG, else SHORT
  uint32_t value;
};

// A little-endian TIFF of these fields, in tag order, and the strip, whose
// offset the field StripOffsets (273) gets; the path is returned.
std::wstring WriteOneStripDocument(const std::wstring& path, const std::vector<TiffField>& fields,
                                   const std::string& strip);

// An uncompressed one-page document of noise, 216 bytes a row.
std::wstring WriteLargeDocument(const std::wstring& path, unsigned rows);

}  // namespace corvisk::test
