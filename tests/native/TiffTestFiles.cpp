#include "TiffTestFiles.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace corvisk::testing {
namespace {

constexpr uint16_t kFillMe = 0xFFFF;  // count marker of the builder's strip entries

void Append16(Bytes& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void Append32(Bytes& bytes, uint32_t value) {
  Append16(bytes, static_cast<uint16_t>(value));
  Append16(bytes, static_cast<uint16_t>(value >> 16));
}

// Fills the builder's strip entries and stores out-of-line data; returns the
// entries as they go into the directory.
std::vector<TestEntry> PlaceValues(const TestPage& page, uint32_t stripAt, Bytes& bytes) {
  std::vector<TestEntry> placed = page.entries;
  for (TestEntry& entry : placed) {
    if (entry.tag == 273 && entry.count == kFillMe) entry = Long(273, stripAt);
    if (entry.tag == 279 && entry.count == kFillMe) entry = Long(279, static_cast<uint32_t>(page.strip.size()));
    if (entry.data.empty()) continue;
    entry.value = static_cast<uint32_t>(bytes.size());
    bytes.insert(bytes.end(), entry.data.begin(), entry.data.end());
  }
  return placed;
}

}  // namespace

TestEntry Short(uint16_t tag, uint16_t value) { return {tag, 3, 1, value, {}}; }
TestEntry Long(uint16_t tag, uint32_t value) { return {tag, 4, 1, value, {}}; }

TestEntry Rational(uint16_t tag, uint32_t numerator, uint32_t denominator) {
  Bytes data;
  Append32(data, numerator);
  Append32(data, denominator);
  return {tag, 5, 1, 0, data};
}

TestEntry Ascii(uint16_t tag, const std::string& text) {
  Bytes data(text.begin(), text.end());
  data.push_back(0);
  const auto count = static_cast<uint32_t>(data.size());
  if (count > 4) return {tag, 2, count, 0, data};
  data.resize(4);
  return {tag, 2, count, Get32(data, 0), {}};
}

TestEntry StripOffsets() { return {273, 4, kFillMe, 0, {}}; }
TestEntry StripByteCounts() { return {279, 4, kFillMe, 0, {}}; }

TestPage FaxPage(uint16_t compression, uint32_t t4Options, Bytes strip) {
  TestPage page;
  page.entries = {
      Long(254, 2),      Short(256, 1728),      Short(257, 2),         Short(258, 1),        Short(259, compression),
      Short(262, 0),     Short(266, 1),         StripOffsets(),        Short(277, 1),        Long(278, 2),
      StripByteCounts(), Rational(282, 204, 1), Rational(283, 196, 1), Long(292, t4Options), Short(296, 2)};
  page.strip = std::move(strip);
  return page;
}

BuiltTiff BuildTiff(const std::vector<TestPage>& pages) {
  BuiltTiff built;
  Bytes& bytes = built.bytes;
  bytes = {'I', 'I', 42, 0, 0, 0, 0, 0};
  size_t linkAt = 4;  // where the offset of the next directory goes
  for (const TestPage& page : pages) {
    const auto stripAt = static_cast<uint32_t>(bytes.size());
    bytes.insert(bytes.end(), page.strip.begin(), page.strip.end());
    const std::vector<TestEntry> entries = PlaceValues(page, stripAt, bytes);
    const auto directoryAt = static_cast<uint32_t>(bytes.size());
    Put32(bytes, linkAt, directoryAt);
    built.directories.push_back(directoryAt);
    Append16(bytes, static_cast<uint16_t>(entries.size()));
    for (const TestEntry& entry : entries) {
      Append16(bytes, entry.tag);
      Append16(bytes, entry.type);
      Append32(bytes, entry.count);
      Append32(bytes, entry.value);
    }
    linkAt = bytes.size();
    Append32(bytes, 0);
  }
  return built;
}

uint16_t Get16(const Bytes& bytes, size_t at) { return static_cast<uint16_t>(bytes.at(at) | bytes.at(at + 1) << 8); }
uint32_t Get32(const Bytes& bytes, size_t at) { return Get16(bytes, at) | uint32_t{Get16(bytes, at + 2)} << 16; }

void Put16(Bytes& bytes, size_t at, uint16_t value) {
  bytes.at(at) = static_cast<uint8_t>(value);
  bytes.at(at + 1) = static_cast<uint8_t>(value >> 8);
}

void Put32(Bytes& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, static_cast<uint16_t>(value));
  Put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

const ReadEntry* ReadPage::Find(uint16_t tag) const {
  const auto found =
      std::find_if(entries.begin(), entries.end(), [tag](const ReadEntry& entry) { return entry.tag == tag; });
  return found == entries.end() ? nullptr : &*found;
}

std::vector<uint16_t> ReadPage::Tags() const {
  std::vector<uint16_t> tags(entries.size());
  std::transform(entries.begin(), entries.end(), tags.begin(), [](const ReadEntry& entry) { return entry.tag; });
  return tags;
}

std::vector<ReadPage> ReadTiff(const Bytes& bytes) {
  std::vector<ReadPage> pages;
  for (uint32_t at = Get32(bytes, 4); at != 0 && pages.size() < 1000;) {
    ReadPage page{at, {}, 0};
    const uint16_t count = Get16(bytes, at);
    for (uint16_t i = 0; i < count; ++i) {
      const size_t e = at + 2 + 12u * i;
      page.entries.push_back({Get16(bytes, e), Get16(bytes, e + 2), Get32(bytes, e + 4), Get32(bytes, e + 8)});
    }
    page.next = at = Get32(bytes, at + 2 + 12u * count);
    pages.push_back(page);
  }
  return pages;
}

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tiff-tests-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string ScratchFolder::Write(const std::string& name, const Bytes& bytes) const {
  const std::string path = Path(name);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

Bytes ScratchFolder::Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool ScratchFolder::Exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace corvisk::testing
