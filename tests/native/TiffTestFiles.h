#pragma once
// Hand-built TIFF files for the document routine tests: a builder that lays
// pages out as strip, values, directory (the reverse of the T.37 order, so a
// rewrite must move everything), a reader for the results, and a scratch
// folder that disappears with the test.
#include <cstdint>
#include <string>
#include <vector>

namespace corvisk::testing {

using Bytes = std::vector<uint8_t>;

struct TestEntry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint32_t value = 0;  // ignored when data is set: the builder stores the offset
  Bytes data;          // out-of-line value bytes
};

TestEntry Short(uint16_t tag, uint16_t value);
TestEntry Long(uint16_t tag, uint32_t value);
TestEntry Rational(uint16_t tag, uint32_t numerator, uint32_t denominator);
TestEntry Ascii(uint16_t tag, const std::string& text);
// StripOffsets and StripByteCounts whose values the builder fills in.
TestEntry StripOffsets();
TestEntry StripByteCounts();

struct TestPage {
  std::vector<TestEntry> entries;
  Bytes strip;
};

// A bilevel fax page with the given compression and T4Options entry.
TestPage FaxPage(uint16_t compression, uint32_t t4Options, Bytes strip);

struct BuiltTiff {
  Bytes bytes;
  std::vector<uint32_t> directories;  // offset of each page's directory
};

BuiltTiff BuildTiff(const std::vector<TestPage>& pages);

uint16_t Get16(const Bytes& bytes, size_t at);
uint32_t Get32(const Bytes& bytes, size_t at);
void Put16(Bytes& bytes, size_t at, uint16_t value);
void Put32(Bytes& bytes, size_t at, uint32_t value);

struct ReadEntry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t value;
};

struct ReadPage {
  uint32_t offset;
  std::vector<ReadEntry> entries;
  uint32_t next;
  const ReadEntry* Find(uint16_t tag) const;
  std::vector<uint16_t> Tags() const;
};

// Follows the chain of a well-formed file (the tests' own results).
std::vector<ReadPage> ReadTiff(const Bytes& bytes);

class ScratchFolder {
 public:
  ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  std::string Path(const std::string& name) const { return root_ + "/" + name; }
  std::string Write(const std::string& name, const Bytes& bytes) const;
  static Bytes Read(const std::string& path);
  static bool Exists(const std::string& path);

 private:
  std::string root_;
};

}  // namespace corvisk::testing
