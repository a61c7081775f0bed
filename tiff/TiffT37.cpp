#include "tiff/TiffT37.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <optional>
#include <unordered_set>
#include <vector>

namespace corvisk {
namespace {

constexpr uint16_t kTagImageWidth = 256;
constexpr uint16_t kTagImageLength = 257;
constexpr uint16_t kTagCompression = 259;
constexpr uint16_t kTagFillOrder = 266;
constexpr uint16_t kTagStripOffsets = 273;
constexpr uint16_t kTagOrientation = 274;
constexpr uint16_t kTagRowsPerStrip = 278;
constexpr uint16_t kTagStripByteCounts = 279;
constexpr uint16_t kTagXResolution = 282;
constexpr uint16_t kTagYResolution = 283;
constexpr uint16_t kTagPlanarConfiguration = 284;
constexpr uint16_t kTagResolutionUnit = 296;
constexpr uint16_t kTagDateTime = 306;  // the highest tag a T.37 page keeps

constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeRational = 5;

constexpr uint16_t kCompressionT4 = 3;
constexpr uint32_t kT4TwoDimensional = 1;  // T4Options bit 0

constexpr uint32_t kHeaderSize = 8;
constexpr uint32_t kEntrySize = 12;
constexpr uint64_t kMaxOffset = UINT32_MAX;

uint16_t Load16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Load32(const unsigned char* p) { return Load16(p) | static_cast<uint32_t>(Load16(p + 2)) << 16; }
void Store16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void Store32(unsigned char* p, uint32_t v) {
  Store16(p, static_cast<uint16_t>(v));
  Store16(p + 2, static_cast<uint16_t>(v >> 16));
}

struct Entry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint32_t value = 0;  // the value itself, or its offset when it does not fit
};

struct Directory {
  uint32_t offset = 0;
  std::vector<Entry> entries;
  uint32_t next = 0;
};

Entry AddedShort(uint16_t tag) { return Entry{tag, kTypeShort, 1, 1}; }

// Bytes per value of each TIFF 6.0 type (and the IFD type of TIFF/EP). The
// signed and floating types count too: an out-of-line value of theirs that
// stayed at its old offset would point into another page's data.
uint32_t TypeWidth(uint16_t type) {
  static constexpr uint8_t kWidths[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return type < sizeof kWidths ? kWidths[type] : 0;
}

// Zero for an unknown type: such an entry is copied as if its value were inline.
uint64_t ValueSize(const Entry& entry) { return uint64_t{TypeWidth(entry.type)} * entry.count; }

bool IsOutOfLine(const Entry& entry) { return ValueSize(entry) > 4; }

// An inline value read at its type's width (a SHORT sits in the low half).
uint32_t InlineValue(const Entry& entry) {
  switch (TypeWidth(entry.type)) {
    case 1:
      return entry.value & 0xFF;
    case 2:
      return entry.value & 0xFFFF;
    default:
      return entry.value;
  }
}

const Entry* FindEntry(const Directory& directory, uint16_t tag) {
  const auto found = std::find_if(directory.entries.begin(), directory.entries.end(),
                                  [tag](const Entry& entry) { return entry.tag == tag; });
  return found == directory.entries.end() ? nullptr : &*found;
}

// Entry count, entries and next-directory offset.
uint64_t DirectorySize(size_t entries) { return 2 + uint64_t{kEntrySize} * entries + 4; }

bool FitsInFile(const TiffReader& file, uint64_t offset, uint64_t size) {
  return offset <= file.Size() && size <= file.Size() - offset;
}

uint64_t EntryOffset(const Directory& directory, size_t index) {
  return uint64_t{directory.offset} + 2 + uint64_t{kEntrySize} * index;
}

void StoreEntry(unsigned char* p, const Entry& entry) {
  Store16(p, entry.tag);
  Store16(p + 2, entry.type);
  Store32(p + 4, entry.count);
  Store32(p + 8, entry.value);
}

std::vector<unsigned char> SerializeDirectory(const std::vector<Entry>& entries, uint32_t next) {
  std::vector<unsigned char> block(static_cast<size_t>(DirectorySize(entries.size())));
  Store16(block.data(), static_cast<uint16_t>(entries.size()));
  unsigned char* p = block.data() + 2;
  for (const Entry& entry : entries) {
    StoreEntry(p, entry);
    p += kEntrySize;
  }
  Store32(p, next);
  return block;
}

// Into the caller's vector: one directory after another reuses its memory.
void ParseEntries(const unsigned char* p, uint16_t count, std::vector<Entry>& entries) {
  entries.resize(count);
  for (Entry& entry : entries) {
    entry = Entry{Load16(p), Load16(p + 2), Load32(p + 4), Load32(p + 8)};
    p += kEntrySize;
  }
}

// Follows a document's directory chain the way libtiff reads untrusted files:
// every directory must lie inside the file, none may be visited twice, and
// the chain ends after kMaxDirectories at the latest. A fault found on the
// way names the page (1-based) whose directory it was reading.
class DirectoryWalk {
 public:
  explicit DirectoryWalk(TiffReader& file) : file_(file) {}

  TiffStatus Start();
  bool Done() const { return next_ == 0; }
  // The page of the directory read last.
  uint32_t Page() const { return static_cast<uint32_t>(visited_.size()); }
  TiffStatus Next(Directory& directory);

 private:
  TiffStatus Visit(uint32_t offset);
  TiffStatus Read(Directory& directory);
  TiffStatus ReadAt(uint64_t offset, void* data, size_t size);

  TiffReader& file_;
  uint32_t next_ = 0;
  std::unordered_set<uint32_t> visited_;
  std::vector<unsigned char> block_;
};

// The byte-order mark is checked although only "II" files exist in practice:
// a big-endian file read as little-endian would be rewritten into garbage.
TiffStatus DirectoryWalk::Start() {
  unsigned char header[kHeaderSize];
  if (file_.Size() < kHeaderSize) return Fail(TiffFault::NotTiff);
  if (TiffStatus status = ReadAt(0, header, sizeof header); !status) return status;
  if (header[0] == 'M' && header[1] == 'M') return Fail(TiffFault::BigEndian);
  if (header[0] != 'I' || header[1] != 'I' || Load16(header + 2) != 42) return Fail(TiffFault::NotTiff);
  next_ = Load32(header + 4);
  return {};
}

// The walk's own reads are not tracked: whoever edits a directory marks it
// read once the edit has been checked against what was read before.
TiffStatus DirectoryWalk::ReadAt(uint64_t offset, void* data, size_t size) {
  const bool tracking = file_.TrackReads(false);
  const TiffStatus status = file_.ReadAt(offset, data, size);
  file_.TrackReads(tracking);
  return status;
}

TiffStatus DirectoryWalk::Visit(uint32_t offset) {
  if (visited_.size() >= kMaxDirectories) return AtOffset(Fail(TiffFault::TooManyDirectories), offset);
  if (!visited_.insert(offset).second) return AtOffset(Fail(TiffFault::DirectoryLoop), offset);
  return {};
}

TiffStatus DirectoryWalk::Next(Directory& directory) {
  const uint32_t page = Page() + 1;
  if (TiffStatus status = Visit(next_); !status) return OnPage(status, page);
  return OnPage(Read(directory), page);
}

TiffStatus DirectoryWalk::Read(Directory& directory) {
  unsigned char count[2];
  if (!FitsInFile(file_, next_, sizeof count)) return PastEnd(next_, sizeof count, file_.Size());
  if (TiffStatus status = ReadAt(next_, count, sizeof count); !status) return status;
  const uint16_t n = Load16(count);
  const uint64_t rest = DirectorySize(n) - 2;
  if (!FitsInFile(file_, uint64_t{next_} + 2, rest)) return PastEnd(uint64_t{next_} + 2, rest, file_.Size());
  std::vector<unsigned char>& block = block_;
  block.resize(static_cast<size_t>(rest));
  if (TiffStatus status = ReadAt(uint64_t{next_} + 2, block.data(), block.size()); !status) return status;
  directory.offset = next_;
  ParseEntries(block.data(), n, directory.entries);
  directory.next = next_ = Load32(block.data() + rest - 4);
  return {};
}

// ---- ProcessTiffTags ----------------------------------------------------

// On a two-dimensionally coded T.4 page, T4Options is the only record of the
// coding; renaming it would make the page decode to garbage.
bool CodesTwoDimensionally(const Directory& directory) {
  const Entry* compression = FindEntry(directory, kTagCompression);
  const Entry* options = FindEntry(directory, kTagT4Options);
  return compression && options && InlineValue(*compression) == kCompressionT4 &&
         (InlineValue(*options) & kT4TwoDimensional) != 0;
}

// Returns the positions of the entries it changed.
std::vector<size_t> RetagDirectory(Directory& directory, uint16_t oldTag, uint16_t newTag) {
  std::vector<size_t> changed;
  if (oldTag == kTagT4Options && CodesTwoDimensionally(directory)) return changed;
  for (size_t i = 0; i < directory.entries.size(); ++i) {
    Entry& entry = directory.entries[i];
    if (entry.tag != oldTag) continue;
    entry.tag = newTag;
    entry.value = 0;
    changed.push_back(i);
  }
  return changed;
}

// Runs the edit over the directory chain; `store` keeps each directory it
// changed, with the positions of the changed entries.
template <typename Store>
TiffStatus RetagDirectories(TiffReader& reader, uint16_t oldTag, uint16_t newTag, Store store) {
  DirectoryWalk walk(reader);
  if (TiffStatus status = walk.Start(); !status) return status;
  Directory directory;
  while (!walk.Done()) {
    if (TiffStatus status = walk.Next(directory); !status) return status;
    const std::vector<size_t> changed = RetagDirectory(directory, oldTag, newTag);
    if (changed.empty()) continue;
    if (TiffStatus status = store(directory, changed); !status) return OnPage(status, walk.Page());
  }
  return {};
}

// The whole directory is written back as one block.
TiffStatus WriteRetagged(TiffFile& file, TiffReader& reader, const Directory& directory) {
  const std::vector<unsigned char> block = SerializeDirectory(directory.entries, directory.next);
  if (TiffStatus status = file.WriteAt(directory.offset, block.data(), block.size()); !status) {
    return AtOffset(status, directory.offset);
  }
  reader.Refresh(directory.offset, block.data(), block.size());
  return {};
}

// Only the changed entries differ from what was read, so only they are kept.
void OverlayRetagged(TiffReader& reader, const Directory& directory, const std::vector<size_t>& changed) {
  unsigned char bytes[kEntrySize];
  for (size_t index : changed) {
    StoreEntry(bytes, directory.entries[index]);
    reader.OverlayEntry(EntryOffset(directory, index), bytes);
  }
}

TiffStatus RetagFile(const FilePath& path, uint16_t oldTag, uint16_t newTag) {
  TiffFile file;
  if (TiffStatus status = file.Open(path, TiffFile::Access::ReadWrite); !status) return status;
  TiffReader reader(file);
  const TiffStatus status = RetagDirectories(reader, oldTag, newTag, [&](const Directory& directory, const auto&) {
    return WriteRetagged(file, reader, directory);
  });
  if (!status) return status;
  return file.Close();
}

// ---- RestructureTiffFile ------------------------------------------------

// An out-of-line value of the result: copied from the source, or (for a
// reduced resolution) written from the bytes held here.
struct ValueCopy {
  uint32_t sourceOffset = 0;
  uint64_t size = 0;
  bool replaced = false;
  unsigned char bytes[8] = {};
};

// Everything needed to write one page of the result, worked out before any
// byte of it is written.
struct PagePlan {
  std::vector<Entry> entries;
  std::vector<ValueCopy> values;
  uint32_t next = 0;
  uint32_t stripSource = 0;
  uint32_t stripLength = 0;
  uint64_t end = 0;  // offset just past the page's image data
};

// The entries before the first tag above 306, with Orientation and
// PlanarConfiguration added where missing so the tags stay in ascending order.
void KeepEntries(const std::vector<Entry>& entries, std::vector<Entry>& result) {
  size_t kept = 0;
  bool hasOrientation = false;
  bool hasPlanar = false;
  for (; kept < entries.size() && entries[kept].tag <= kTagDateTime; ++kept) {
    hasOrientation |= entries[kept].tag == kTagOrientation;
    hasPlanar |= entries[kept].tag == kTagPlanarConfiguration;
  }
  result.clear();
  result.reserve(kept + 2);
  for (size_t i = 0; i < kept; ++i) {
    if (!hasOrientation && entries[i].tag > kTagOrientation) {
      result.push_back(AddedShort(kTagOrientation));
      hasOrientation = true;
    }
    if (!hasPlanar && entries[i].tag > kTagPlanarConfiguration) {
      result.push_back(AddedShort(kTagPlanarConfiguration));
      hasPlanar = true;
    }
    result.push_back(entries[i]);
  }
  if (!hasOrientation) result.push_back(AddedShort(kTagOrientation));
  if (!hasPlanar) result.push_back(AddedShort(kTagPlanarConfiguration));
}

// The single value of a StripOffsets or StripByteCounts entry. Several values
// mean several strips, which cannot be joined into one for coded fax data.
TiffStatus ReadStripField(const Entry& entry, uint32_t& value) {
  if (entry.count > 1) return AtTag(Fail(TiffFault::MultipleStrips), entry.tag);
  if (entry.count == 0 || (entry.type != kTypeShort && entry.type != kTypeLong)) {
    return AtTag(Fail(TiffFault::NoStrip), entry.tag);
  }
  value = InlineValue(entry);
  return {};
}

TiffStatus FindStrip(const std::vector<Entry>& entries, PagePlan& plan) {
  const Entry* offsets = nullptr;
  const Entry* lengths = nullptr;
  for (const Entry& entry : entries) {
    if (entry.tag != kTagStripOffsets && entry.tag != kTagStripByteCounts) continue;
    const Entry*& slot = entry.tag == kTagStripOffsets ? offsets : lengths;
    if (slot) return AtTag(Fail(TiffFault::MultipleStrips), entry.tag);
    slot = &entry;
  }
  if (!offsets || !lengths) return AtTag(Fail(TiffFault::NoStrip), offsets ? kTagStripByteCounts : kTagStripOffsets);
  if (TiffStatus status = ReadStripField(*offsets, plan.stripSource); !status) return status;
  return ReadStripField(*lengths, plan.stripLength);
}

// The strip must be there and inside the file; an offset past the end is
// StripOffsets' fault, a length that runs past it StripByteCounts'.
TiffStatus CheckStrip(const TiffReader& source, const PagePlan& plan) {
  if (plan.stripLength == 0) return AtTag(Fail(TiffFault::NoStrip), kTagStripByteCounts);
  if (plan.stripSource == 0) return AtTag(Fail(TiffFault::NoStrip), kTagStripOffsets);
  if (FitsInFile(source, plan.stripSource, plan.stripLength)) return {};
  const TiffStatus status = PastEnd(plan.stripSource, plan.stripLength, source.Size());
  return AtTag(status, status.place.countPastEnd ? kTagStripByteCounts : kTagStripOffsets);
}

// A resolution becomes an integer over 1. Signed division, truncating toward
// zero; a zero denominator, and the one quotient that does not fit, stay as
// they are.
void ReduceRational(unsigned char* bytes) {
  const auto numerator = static_cast<int32_t>(Load32(bytes));
  const auto denominator = static_cast<int32_t>(Load32(bytes + 4));
  if (denominator == 0 || denominator == 1) return;
  if (numerator == INT32_MIN && denominator == -1) return;
  Store32(bytes, static_cast<uint32_t>(numerator / denominator));
  Store32(bytes + 4, 1);
}

bool IsResolution(const Entry& entry) {
  return (entry.tag == kTagXResolution || entry.tag == kTagYResolution) && entry.type == kTypeRational &&
         entry.count == 1;
}

TiffStatus CollectValue(TiffReader& source, const Entry& entry, ValueCopy& copy) {
  copy.sourceOffset = entry.value;
  copy.size = ValueSize(entry);
  if (!FitsInFile(source, copy.sourceOffset, copy.size)) return PastEnd(copy.sourceOffset, copy.size, source.Size());
  if (!IsResolution(entry)) return {};
  if (TiffStatus status = source.ReadAt(copy.sourceOffset, copy.bytes, sizeof copy.bytes); !status) return status;
  ReduceRational(copy.bytes);
  copy.replaced = true;
  return {};
}

// Gives every out-of-line value its place, in entry order, from `end` on, and
// moves `end` past them.
TiffStatus PlaceValues(TiffReader& source, PagePlan& plan, uint64_t& end) {
  for (Entry& entry : plan.entries) {
    if (!IsOutOfLine(entry)) continue;
    ValueCopy copy;
    if (TiffStatus status = CollectValue(source, entry, copy); !status) return AtTag(status, entry.tag);
    entry.value = static_cast<uint32_t>(end);
    end += copy.size;
    plan.values.push_back(copy);
  }
  return {};
}

// The strip follows the values; a SHORT strip offset becomes a LONG, since
// the new position may not fit in 16 bits. RowsPerStrip says "whole page in
// one strip" (an out-of-line one keeps the offset of its moved value).
void PlaceStrip(PagePlan& plan, uint64_t stripAt) {
  for (Entry& entry : plan.entries) {
    if (entry.tag == kTagRowsPerStrip && !IsOutOfLine(entry)) entry.value = 0xFFFFFFFF;
    if (entry.tag != kTagStripOffsets) continue;
    entry.type = kTypeLong;
    entry.value = static_cast<uint32_t>(stripAt);
  }
}

TiffStatus PlanEntries(TiffReader& source, const Directory& directory, uint64_t at, PagePlan& plan) {
  if (directory.entries.empty()) return Fail(TiffFault::NoKeptEntry);
  if (directory.entries.front().tag > kTagDateTime) {
    return AtTag(Fail(TiffFault::NoKeptEntry), directory.entries.front().tag);
  }
  KeepEntries(directory.entries, plan.entries);
  plan.values.clear();
  if (plan.entries.size() > UINT16_MAX) return Fail(TiffFault::TooManyEntries);
  if (TiffStatus status = FindStrip(plan.entries, plan); !status) return status;
  if (TiffStatus status = CheckStrip(source, plan); !status) return status;
  uint64_t stripAt = at + DirectorySize(plan.entries.size());
  if (TiffStatus status = PlaceValues(source, plan, stripAt); !status) return status;
  plan.end = stripAt + plan.stripLength;
  if (plan.end > kMaxOffset) return Fail(TiffFault::TooLarge);
  PlaceStrip(plan, stripAt);
  plan.next = directory.next != 0 ? static_cast<uint32_t>(plan.end) : 0;
  return {};
}

// A fault without a place of its own lies in the page's directory.
TiffStatus PlanPage(TiffReader& source, const Directory& directory, uint64_t at, PagePlan& plan) {
  return AtOffset(PlanEntries(source, directory, at, plan), directory.offset);
}

TiffStatus WritePage(ChunkWriter& writer, TiffReader& source, const PagePlan& plan) {
  const std::vector<unsigned char> block = SerializeDirectory(plan.entries, plan.next);
  if (TiffStatus status = writer.Append(block.data(), block.size()); !status) return status;
  for (const ValueCopy& value : plan.values) {
    const TiffStatus status = value.replaced ? writer.Append(value.bytes, sizeof value.bytes)
                                             : writer.AppendFrom(source, value.sourceOffset, value.size);
    if (!status) return status;
  }
  return writer.AppendFrom(source, plan.stripSource, plan.stripLength);
}

// The first directory follows the header; a document without pages gets
// the header alone, pointing at where that directory would be.
TiffStatus WriteHeader(ChunkWriter& writer) {
  unsigned char header[kHeaderSize] = {'I', 'I', 42, 0};
  Store32(header + 4, kHeaderSize);
  return writer.Append(header, sizeof header);
}

// Plans every page of the result in order and hands each plan to `use`;
// `reached` sees each directory first.
template <typename UsePage, typename ReachDirectory>
TiffStatus PlanPages(TiffReader& source, UsePage use, ReachDirectory reached) {
  DirectoryWalk walk(source);
  if (TiffStatus status = walk.Start(); !status) return status;
  Directory directory;
  uint64_t at = kHeaderSize;
  PagePlan plan;  // one for all pages: its vectors keep their memory
  while (!walk.Done()) {
    if (TiffStatus status = walk.Next(directory); !status) return status;
    if (TiffStatus status = reached(directory); !status) return status;
    if (TiffStatus status = PlanPage(source, directory, at, plan); !status) return OnPage(status, walk.Page());
    if (TiffStatus status = use(plan); !status) return OnPage(status, walk.Page());
    at = plan.end;
  }
  return {};
}

TiffStatus ReachAny(const Directory&) { return {}; }

template <typename UsePage>
TiffStatus PlanPages(TiffReader& source, UsePage use) {
  return PlanPages(source, use, ReachAny);
}

template <typename ReachDirectory>
TiffStatus RewriteFile(TiffReader& source, const FilePath& destinationPath, ReachDirectory reached) {
  // The header is checked before anything is created.
  if (TiffStatus status = DirectoryWalk(source).Start(); !status) return status;
  OutputFile output;
  if (TiffStatus status = output.Create(destinationPath); !status) return status;
  ChunkWriter writer(output.file());
  if (TiffStatus status = WriteHeader(writer); !status) return status;
  const TiffStatus status = PlanPages(
      source, [&](const PagePlan& plan) { return WritePage(writer, source, plan); }, reached);
  if (!status) return status;
  if (TiffStatus flushed = writer.Flush(); !flushed) return flushed;
  return output.Keep();
}

TiffStatus RewriteFile(TiffReader& source, const FilePath& destinationPath) {
  return RewriteFile(source, destinationPath, ReachAny);
}

TiffStatus CountDirectories(const FilePath& path, uint32_t& pages) {
  TiffFile file;
  if (TiffStatus status = file.Open(path, TiffFile::Access::Read); !status) return status;
  TiffReader reader(file);
  DirectoryWalk walk(reader);
  if (TiffStatus status = walk.Start(); !status) return status;
  Directory directory;
  uint32_t counted = 0;
  for (; !walk.Done(); ++counted) {
    if (TiffStatus status = walk.Next(directory); !status) return status;
  }
  pages = counted;
  return {};
}

// ---- CheckTiffFile ------------------------------------------------------

std::optional<uint32_t> InlineOf(const std::vector<Entry>& entries, uint16_t tag) {
  for (const Entry& entry : entries) {
    if (entry.tag == tag && !IsOutOfLine(entry)) return InlineValue(entry);
  }
  return std::nullopt;
}

// A resolution as it is sent: the reduced value the plan holds for it.
std::optional<TiffRational> ResolutionOf(const PagePlan& plan, uint16_t tag) {
  size_t value = 0;
  for (const Entry& entry : plan.entries) {
    if (!IsOutOfLine(entry)) continue;
    const ValueCopy& copy = plan.values[value++];
    if (entry.tag == tag && copy.replaced) return TiffRational{Load32(copy.bytes), Load32(copy.bytes + 4)};
  }
  return std::nullopt;
}

TiffPageInfo DescribePage(const PagePlan& plan) {
  TiffPageInfo page;
  page.width = InlineOf(plan.entries, kTagImageWidth);
  page.length = InlineOf(plan.entries, kTagImageLength);
  page.compression = InlineOf(plan.entries, kTagCompression);
  page.fillOrder = InlineOf(plan.entries, kTagFillOrder);
  page.resolutionUnit = InlineOf(plan.entries, kTagResolutionUnit);
  page.xResolution = ResolutionOf(plan, kTagXResolution);
  page.yResolution = ResolutionOf(plan, kTagYResolution);
  page.stripOffset = plan.stripSource;
  page.stripLength = plan.stripLength;
  return page;
}

// The provider's edit, kept in memory: what the rewrite reads is what the
// provider's working copy holds after ProcessTiffTags. Like the provider, a
// failed edit does not stop the rewrite; its outcome is returned apart.
TiffStatus OverlayProviderRetag(TiffReader& source) {
  return RetagDirectories(source, kTagT4Options, kTagT6Options,
                          [&](const Directory& directory, const std::vector<size_t>& changed) {
                            OverlayRetagged(source, directory, changed);
                            return TiffStatus{};
                          });
}

TiffStatus CheckPages(const FilePath& path, const TiffPageVisitor& visit) {
  TiffFile file;
  if (TiffStatus status = file.Open(path, TiffFile::Access::Read); !status) return status;
  TiffReader source(file);
  OverlayProviderRetag(source);
  return PlanPages(source, [&](const PagePlan& plan) {
    visit(DescribePage(plan));
    return TiffStatus{};
  });
}

// Edits each directory as the rewrite reaches it, so every directory is read
// once. That equals editing the whole chain first when the rewrite succeeds
// and no edited entry lies in bytes it had read before (only pages that
// overlap can do that; the rewrite then stops there). A rewrite that fails may
// have failed on bytes that the edit of a directory it never reached would
// have changed: the caller starts over after any failure.
TiffStatus RewriteRetaggingOnTheWay(TiffReader& source, const FilePath& destinationPath) {
  source.TrackReads(true);
  source.MarkRead(0, kHeaderSize);
  return RewriteFile(source, destinationPath, [&](Directory& directory) {
    const std::vector<size_t> changed = RetagDirectory(directory, kTagT4Options, kTagT6Options);
    for (size_t index : changed) {
      if (source.WasRead(EntryOffset(directory, index), kEntrySize)) return Fail(TiffFault::CannotRead);  // too late
    }
    source.MarkRead(directory.offset, DirectorySize(directory.entries.size()));
    OverlayRetagged(source, directory, changed);
    return TiffStatus{};
  });
}

TiffStatus RewriteRetagged(const FilePath& sourcePath, const FilePath& destinationPath, TiffStatus& retagged) {
  TiffFile file;
  if (TiffStatus status = file.Open(sourcePath, TiffFile::Access::Read); !status) return status;
  {
    TiffReader source(file);
    if (TiffStatus status = RewriteRetaggingOnTheWay(source, destinationPath); status) return status;
  }
  TiffReader source(file);
  retagged = OverlayProviderRetag(source);
  return RewriteFile(source, destinationPath);
}

TiffStatus RewriteFile(const FilePath& sourcePath, const FilePath& destinationPath) {
  TiffFile file;
  if (TiffStatus status = file.Open(sourcePath, TiffFile::Access::Read); !status) return status;
  TiffReader source(file);
  return RewriteFile(source, destinationPath);
}

// Turns the one failure that escapes as an exception into its fault.
template <typename Work>
TiffStatus Guarded(Work work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return Fail(TiffFault::OutOfMemory);
  }
}

}  // namespace

// Renames every oldTag entry to newTag with value 0, in place, except where
// that would destroy a page's record of its T.4 coding (see above).
// Directories already written back keep their change if a later one fails.
TiffStatus ProcessTiffTags(const FilePath& path, uint16_t oldTag, uint16_t newTag) {
  return Guarded([&] { return RetagFile(path, oldTag, newTag); });
}

// Writes the T.37 layout: per page its directory (tags up to 306, with
// Orientation and PlanarConfiguration, RowsPerStrip 0xFFFFFFFF, resolutions
// over 1), its out-of-line values, then its single strip. Image data moves in
// fixed-size chunks; the destination is removed again on any failure.
TiffStatus RestructureTiffFile(const FilePath& source, const FilePath& destination) {
  return Guarded([&] { return RewriteFile(source, destination); });
}

TiffStatus RestructureAsProvider(const FilePath& source, const FilePath& destination, TiffStatus& retagged) {
  retagged = {};
  return Guarded([&] { return RewriteRetagged(source, destination, retagged); });
}

TiffStatus CheckTiffFile(const FilePath& path, const TiffPageVisitor& visit) {
  return Guarded([&] { return CheckPages(path, visit); });
}

// Sets pages to the number of directories, 0 on any failure.
TiffStatus CountTiffPages(const FilePath& path, uint32_t& pages) {
  pages = 0;
  return Guarded([&] { return CountDirectories(path, pages); });
}

}  // namespace corvisk
