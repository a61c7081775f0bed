#include "faxtiff/FaxTiff.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "tiff/TiffT37.h"

namespace corvisk {
namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr char kUsageText[] =
    "usage: faxtiff retag FILE | faxtiff restructure SRC DST | faxtiff pages FILE | faxtiff check FILE...\n";

void PrintFailure(const char* step, const TiffStatus& status) {
  std::fprintf(stderr, "faxtiff %s: %s\n", step, DescribeTiffStatus(status).c_str());
}

int Report(const char* step, const TiffStatus& status) {
  if (status) return 0;
  PrintFailure(step, status);
  return kFailed;
}

int Retag(const FilePath& path) { return Report("retag", ProcessTiffTags(path, kTagT4Options, kTagT6Options)); }

// What the provider sends. As in the provider, a failed retag does not stop
// the rewrite; it is reported only when the rewrite succeeds, so a failure
// stays a single line.
int Restructure(const FilePath& source, const FilePath& destination) {
  TiffStatus retagged;
  if (TiffStatus status = RestructureAsProvider(source, destination, retagged); !status) {
    return Report("restructure", status);
  }
  if (!retagged) PrintFailure("restructure: warning: retag", retagged);
  return 0;
}

int Pages(const FilePath& path) {
  uint32_t pages = 0;
  if (TiffStatus status = CountTiffPages(path, pages); !status) return Report("pages", status);
  std::printf("%" PRIu32 "\n", pages);
  return 0;
}

std::string Optional(const std::optional<uint32_t>& value) { return value ? std::to_string(*value) : "?"; }

std::string ResolutionText(const std::optional<TiffRational>& value) {
  if (!value) return "?";
  const std::string number = std::to_string(value->numerator);
  return value->denominator == 1 ? number : number + "/" + std::to_string(value->denominator);
}

// ResolutionUnit: 2 (inch) unless the page says otherwise.
const char* UnitText(const std::optional<uint32_t>& unit) {
  if (!unit || *unit == 2) return " dpi";
  return *unit == 3 ? " dots/cm" : " (no unit)";
}

const char* CompressionText(const std::optional<uint32_t>& compression) {
  switch (compression.value_or(1)) {
    case 1:
      return "uncompressed";
    case 2:
      return "modified Huffman RLE";
    case 3:
      return "T.4, Group 3";
    case 4:
      return "T.6, Group 4";
    default:
      return "other";
  }
}

void PrintPage(const std::string& file, uint32_t number, const TiffPageInfo& page) {
  std::printf("%s: page %" PRIu32 ": %s x %s pixels, %s x %s%s, compression %s (%s), fill order %s, strip of %" PRIu32
              " bytes at offset %" PRIu32 "\n",
              file.c_str(), number, Optional(page.width).c_str(), Optional(page.length).c_str(),
              ResolutionText(page.xResolution).c_str(), ResolutionText(page.yResolution).c_str(),
              UnitText(page.resolutionUnit), page.compression ? std::to_string(*page.compression).c_str() : "1",
              CompressionText(page.compression), page.fillOrder ? std::to_string(*page.fillOrder).c_str() : "1",
              page.stripLength, page.stripOffset);
}

int CheckOne(const FilePath& path) {
  const std::string name = DisplayPath(path);
  uint32_t pages = 0;
  const TiffStatus status = CheckTiffFile(path, [&](const TiffPageInfo& page) { PrintPage(name, ++pages, page); });
  if (status) {
    std::printf("%s: sends as is\n", name.c_str());
    return 0;
  }
  std::printf("%s: %s\n", name.c_str(), DescribeTiffStatus(status).c_str());
  return kFailed;
}

// Every file is checked; the exit status says whether any had a fault.
int Check(const std::vector<FilePath>& paths) {
  int result = 0;
  for (const FilePath& path : paths) result |= CheckOne(path);
  return result;
}

}  // namespace

int RunFaxTiff(const std::string& command, const std::vector<FilePath>& operands) {
  if (command == "retag" && operands.size() == 1) return Retag(operands[0]);
  if (command == "restructure" && operands.size() == 2) return Restructure(operands[0], operands[1]);
  if (command == "pages" && operands.size() == 1) return Pages(operands[0]);
  if (command == "check" && !operands.empty()) return Check(operands);
  std::fputs(kUsageText, stderr);
  return kUsage;
}

}  // namespace corvisk
