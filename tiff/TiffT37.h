#pragma once
// Preparing the fax service's TIFF document for a T.37 gateway: the in-place
// tag edit, the rewrite into the flat T.37 layout and the page count. They
// work on the file with positioned reads and writes and never decode image
// data. Little-endian ("II") classic TIFF only.
#include <cstdint>

#include "tiff/TiffFile.h"

namespace corvisk {

inline constexpr uint16_t kTagT4Options = 292;
inline constexpr uint16_t kTagT6Options = 293;

// Where a document's directory chain ends at the latest: a TIFF page number
// is a SHORT, so no real document has more pages.
inline constexpr uint32_t kMaxDirectories = 65535;

TiffStatus ProcessTiffTags(const FilePath& path, uint16_t oldTag, uint16_t newTag);
TiffStatus RestructureTiffFile(const FilePath& source, const FilePath& destination);
TiffStatus CountTiffPages(const FilePath& path, uint32_t& pages);

}  // namespace corvisk
