// libFuzzer entry point for the fax document routines. Each input goes the
// provider's way (count, retag in place, restructure, count the result) and
// must keep its promises: a failed rewrite leaves no result file and says
// where it failed, a result has as many pages as its source, rewriting a
// result changes nothing, and faxtiff's check and rewrite (which hold the
// retag in memory) find what the provider's way finds.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tiff/TiffT37.h"

namespace {

using corvisk::TiffStatus;

struct Scratch {
  std::string folder;
  std::string input, result, again, direct;
};

Scratch& Files() {
  static Scratch files;
  return files;
}

// Under /dev/shm when there is one: every input is written to disk.
void CreateScratch() {
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp");
  std::string pattern = std::string(base) + "/tiff-fuzz-XXXXXX";
  if (!mkdtemp(pattern.data())) std::abort();
  Scratch& files = Files();
  files = {pattern, pattern + "/input.tif", pattern + "/result.tif", pattern + "/again.tif", pattern + "/direct.tif"};
}

void RemoveScratch() {
  const Scratch& files = Files();
  for (const std::string& path : {files.input, files.result, files.again, files.direct}) unlink(path.c_str());
  rmdir(files.folder.c_str());
}

void WriteInput(const uint8_t* data, size_t size) {
  std::ofstream out(Files().input, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) std::abort();
}

std::vector<char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

void Require(bool promise, const char* what) {
  if (promise) return;
  std::fprintf(stderr, "broken promise: %s\n", what);
  std::abort();
}

void CheckResult(uint32_t sourcePages, bool sourceCounted) {
  const Scratch& files = Files();
  // No pages: the bare header, pointing at a first directory that is not there.
  if (sourceCounted && sourcePages == 0) {
    const std::vector<char> header = {'I', 'I', 42, 0, 8, 0, 0, 0};
    Require(ReadAll(files.result) == header, "a document without pages gives the header");
    return;
  }
  uint32_t pages = 0;
  Require(static_cast<bool>(corvisk::CountTiffPages(files.result, pages)), "a result can be counted");
  Require(sourceCounted && pages == sourcePages, "a result has its source's pages");
  Require(static_cast<bool>(corvisk::RestructureTiffFile(files.result, files.again)), "a result can be rewritten");
  Require(ReadAll(files.result) == ReadAll(files.again), "rewriting a result changes nothing");
  unlink(files.again.c_str());
}

bool SameFault(const TiffStatus& a, const TiffStatus& b) {
  return a.fault == b.fault && a.place.page == b.place.page && a.place.tag == b.place.tag &&
         a.place.offset == b.place.offset;
}

void CheckFailure(const TiffStatus& status, uint32_t sourcePages, bool sourceCounted) {
  Require(!Exists(Files().result), "a failed rewrite leaves no result file");
  Require(corvisk::ErrorCodeOf(status) != 0, "a failure never looks like success to the job");
  const std::string text = corvisk::DescribeTiffStatus(status);
  Require(text.find(corvisk::DescribeTiffFault(status.fault)) != std::string::npos ||
              status.fault == corvisk::TiffFault::BeyondEnd,
          "a located fault keeps its kind's text");
  Require(!sourceCounted || status.place.page <= sourcePages, "a fault lies on a page of the document");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  CreateScratch();
  std::atexit(RemoveScratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Scratch& files = Files();
  WriteInput(data, size);
  uint32_t sourcePages = 0;
  const bool counted = static_cast<bool>(corvisk::CountTiffPages(files.input, sourcePages));
  uint32_t checkedPages = 0;
  const TiffStatus checked = corvisk::CheckTiffFile(files.input, [&](const corvisk::TiffPageInfo&) { ++checkedPages; });
  TiffStatus retagged;
  const TiffStatus direct = corvisk::RestructureAsProvider(files.input, files.direct, retagged);
  corvisk::ProcessTiffTags(files.input, corvisk::kTagT4Options, corvisk::kTagT6Options);
  const TiffStatus status = corvisk::RestructureTiffFile(files.input, files.result);
  Require(SameFault(direct, status), "faxtiff's rewrite fails where the provider's does");
  Require(SameFault(checked, status), "faxtiff check finds the rewrite's fault");
  if (status) {
    Require(ReadAll(files.direct) == ReadAll(files.result), "faxtiff's rewrite gives the provider's bytes");
    Require(!counted || checkedPages == sourcePages, "faxtiff check shows every page");
    CheckResult(sourcePages, counted);
    unlink(files.result.c_str());
    unlink(files.direct.c_str());
  } else {
    CheckFailure(status, sourcePages, counted);
  }
  return 0;
}
