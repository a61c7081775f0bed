// libFuzzer entry point for the fax document routines. Each input goes the
// provider's way (count, retag in place, restructure, count the result) and
// must keep three promises: a failed rewrite leaves no result file, a result
// has as many pages as its source, and rewriting a result changes nothing.
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
  std::string input, result, again;
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
  files = {pattern, pattern + "/input.tif", pattern + "/result.tif", pattern + "/again.tif"};
}

void RemoveScratch() {
  const Scratch& files = Files();
  for (const std::string& path : {files.input, files.result, files.again}) unlink(path.c_str());
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
  corvisk::ProcessTiffTags(files.input, corvisk::kTagT4Options, corvisk::kTagT6Options);
  const TiffStatus status = corvisk::RestructureTiffFile(files.input, files.result);
  if (status) {
    CheckResult(sourcePages, counted);
    unlink(files.result.c_str());
  } else {
    Require(!Exists(files.result), "a failed rewrite leaves no result file");
    Require(corvisk::DescribeTiffFault(status.fault)[0] != '\0', "every failure has a text");
    Require(corvisk::ErrorCodeOf(status) != 0, "a failure never looks like success to the job");
  }
  return 0;
}
