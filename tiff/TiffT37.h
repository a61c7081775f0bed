#pragma once
// Preparing the fax service's TIFF document for a T.37 gateway: the in-place
// tag edit, the rewrite into the flat T.37 layout and the page count. They
// work on the file with positioned reads and writes and never decode image
// data. Little-endian ("II") classic TIFF only.
#include <cstdint>
#include <functional>
#include <optional>

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

// What the provider sends for a document, written from the document itself:
// the bytes ProcessTiffTags and then RestructureTiffFile make of a working
// copy of it. The tag edit is held in memory, so no copy is written. As in
// the provider, a failed edit does not stop the rewrite; when the rewrite
// succeeds, `retagged` says how the edit went.
TiffStatus RestructureAsProvider(const FilePath& source, const FilePath& destination, TiffStatus& retagged);

struct TiffRational {
  uint32_t numerator = 0;
  uint32_t denominator = 0;
};

// One page as the rewrite reads it: values absent from the page (or not
// inline, where an inline one is expected) are empty.
struct TiffPageInfo {
  std::optional<uint32_t> width, length, compression, fillOrder, resolutionUnit;
  std::optional<TiffRational> xResolution, yResolution;  // as sent: reduced to an integer over 1
  uint32_t stripOffset = 0;
  uint32_t stripLength = 0;
};

using TiffPageVisitor = std::function<void(const TiffPageInfo& page)>;

// Reads a document as the provider's edit and rewrite would, without writing
// anything, and shows `visit` each page that passes; stops at the first
// fault. Success means the provider would send the document.
TiffStatus CheckTiffFile(const FilePath& path, const TiffPageVisitor& visit);

}  // namespace corvisk
