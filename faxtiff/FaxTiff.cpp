#include "faxtiff/FaxTiff.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <utility>

#include "tiff/TiffT37.h"

namespace corvisk {
namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr char kUsageText[] = "usage: faxtiff retag FILE | faxtiff restructure SRC DST | faxtiff pages FILE\n";

void PrintFailure(const char* step, const TiffStatus& status) {
  std::string reason = DescribeTiffFault(status.fault);
  if (status.systemError != 0) reason += ": " + DescribeSystemError(status.systemError);
  std::fprintf(stderr, "faxtiff %s: %s\n", step, reason.c_str());
}

int Report(const char* step, const TiffStatus& status) {
  if (status) return 0;
  PrintFailure(step, status);
  return kFailed;
}

FilePath WithSuffix(const FilePath& path, const char* suffix) {
  return path + FilePath(suffix, suffix + std::strlen(suffix));
}

// Removes the working copy on every way out.
class ScopedRemoval {
 public:
  explicit ScopedRemoval(FilePath path) : path_(std::move(path)) {}
  ScopedRemoval(const ScopedRemoval&) = delete;
  ScopedRemoval& operator=(const ScopedRemoval&) = delete;
  ~ScopedRemoval() { RemoveFile(path_); }

 private:
  FilePath path_;
};

int Retag(const FilePath& path) { return Report("retag", ProcessTiffTags(path, kTagT4Options, kTagT6Options)); }

// What the provider sends: a working copy is retagged, then rewritten. As in
// the provider, a failed retag does not stop the rewrite; it is reported only
// when the rewrite succeeds, so a failure stays a single line.
int Restructure(const FilePath& source, const FilePath& destination) {
  const FilePath work = WithSuffix(destination, ".work");
  if (TiffStatus status = CopyWholeFile(source, work); !status) return Report("restructure", status);
  ScopedRemoval removal(work);
  const TiffStatus retagged = ProcessTiffTags(work, kTagT4Options, kTagT6Options);
  if (TiffStatus status = RestructureTiffFile(work, destination); !status) return Report("restructure", status);
  if (!retagged) PrintFailure("restructure: warning: retag", retagged);
  return 0;
}

int Pages(const FilePath& path) {
  uint32_t pages = 0;
  if (TiffStatus status = CountTiffPages(path, pages); !status) return Report("pages", status);
  std::printf("%" PRIu32 "\n", pages);
  return 0;
}

}  // namespace

int RunFaxTiff(const std::string& command, const std::vector<FilePath>& operands) {
  if (command == "retag" && operands.size() == 1) return Retag(operands[0]);
  if (command == "restructure" && operands.size() == 2) return Restructure(operands[0], operands[1]);
  if (command == "pages" && operands.size() == 1) return Pages(operands[0]);
  std::fputs(kUsageText, stderr);
  return kUsage;
}

}  // namespace corvisk
