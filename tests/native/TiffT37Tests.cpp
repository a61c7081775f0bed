#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "TiffTestFiles.h"
#include "tiff/TiffT37.h"

namespace corvisk::testing {
namespace {

constexpr uint32_t kUnexpected = 0x8000FFFF;

Bytes Pattern(size_t size, uint8_t seed = 1) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

Bytes Slice(const Bytes& bytes, size_t at, size_t size) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
}

// The example page: every tag with a rule of its own, plus two above 306.
TestPage ExamplePage(const Bytes& strip) {
  TestPage page;
  page.entries = {Long(254, 0),
                  Short(256, 1728),
                  Short(257, 1143),
                  Short(258, 1),
                  Short(259, 3),
                  Short(262, 0),
                  Short(266, 1),
                  StripOffsets(),
                  Short(277, 1),
                  Long(278, 1143),
                  StripByteCounts(),
                  Rational(282, 204, 1),
                  Rational(283, 98, 1),
                  Long(292, 0),
                  Short(296, 2),
                  {297, 3, 2, 0x00010000, {}},
                  Ascii(305, "CorviskFSP"),
                  Ascii(306, "2024:01:02 03:04:05"),
                  Long(326, 0),
                  Short(327, 0)};
  page.strip = strip;
  return page;
}

class TiffRoutines : public ::testing::Test {
 protected:
  // Rewrites bytes and returns the result; fails the test if the rewrite does.
  Bytes Restructure(const Bytes& source) {
    const std::string from = scratch_.Write("source.tif", source);
    const std::string to = scratch_.Path("result.tif");
    const TiffStatus status = RestructureTiffFile(from, to);
    EXPECT_TRUE(status) << DescribeTiffFault(status.fault);
    return ScratchFolder::Read(to);
  }

  TiffStatus RestructureStatus(const Bytes& source) {
    return RestructureTiffFile(scratch_.Write("source.tif", source), scratch_.Path("result.tif"));
  }

  Bytes Retag(const Bytes& source) {
    const std::string path = scratch_.Write("retag.tif", source);
    const TiffStatus status = ProcessTiffTags(path, kTagT4Options, kTagT6Options);
    EXPECT_TRUE(status) << DescribeTiffFault(status.fault);
    return ScratchFolder::Read(path);
  }

  uint32_t Pages(const Bytes& bytes, TiffStatus* status = nullptr) {
    uint32_t pages = 99;
    const TiffStatus result = CountTiffPages(scratch_.Write("count.tif", bytes), pages);
    if (status) *status = result;
    return pages;
  }

  ScratchFolder scratch_;
};

TEST_F(TiffRoutines, ExamplePageComesOutWithTheGivenTagsValuesAndOffsets) {
  const Bytes strip = Pattern(37);
  const BuiltTiff source = BuildTiff({ExamplePage(strip)});
  const Bytes result = Restructure(Retag(source.bytes));

  ASSERT_EQ(Slice(result, 0, 8), (Bytes{'I', 'I', 42, 0, 8, 0, 0, 0}));
  const std::vector<ReadPage> pages = ReadTiff(result);
  ASSERT_EQ(pages.size(), 1u);
  const ReadPage& page = pages[0];
  EXPECT_EQ(page.offset, 8u);
  EXPECT_EQ(page.Tags(), (std::vector<uint16_t>{254, 256, 257, 258, 259, 262, 266, 273, 274, 277,
                                                278, 279, 282, 283, 284, 293, 296, 297, 305, 306}));
  EXPECT_EQ(page.next, 0u);
  for (uint16_t added : {274, 284}) {
    const ReadEntry* entry = page.Find(added);
    EXPECT_EQ(entry->type, 3);
    EXPECT_EQ(entry->count, 1u);
    EXPECT_EQ(entry->value, 1u);
  }
  EXPECT_EQ(page.Find(278)->value, 0xFFFFFFFFu);
  EXPECT_EQ(page.Find(293)->type, 4);
  EXPECT_EQ(page.Find(293)->value, 0u);
  EXPECT_EQ(page.Find(297)->value, 0x00010000u);
  // Values follow the 20-entry directory in entry order, the strip follows them.
  const uint32_t valuesAt = 8 + 2 + 12 * 20 + 4;
  EXPECT_EQ(page.Find(282)->value, valuesAt);
  EXPECT_EQ(page.Find(283)->value, valuesAt + 8);
  EXPECT_EQ(page.Find(305)->value, valuesAt + 16);
  EXPECT_EQ(page.Find(306)->value, valuesAt + 16 + 11);
  EXPECT_EQ(page.Find(273)->value, valuesAt + 16 + 11 + 20);
  EXPECT_EQ(page.Find(279)->value, 37u);
  EXPECT_EQ(Slice(result, valuesAt, 8), (Bytes{204, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(Slice(result, valuesAt + 8, 8), (Bytes{98, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(std::string(result.begin() + valuesAt + 16, result.begin() + valuesAt + 26), "CorviskFSP");
  EXPECT_EQ(Slice(result, page.Find(273)->value, 37), strip);
  EXPECT_EQ(result.size(), valuesAt + 16 + 11 + 20 + 37u);
}

TEST_F(TiffRoutines, RetagChangesOnlyTheT4OptionsEntry) {
  const BuiltTiff source = BuildTiff({ExamplePage(Pattern(37))});
  Bytes expected = source.bytes;
  const size_t entry = source.directories[0] + 2 + 12 * 13;  // the 14th entry is T4Options
  ASSERT_EQ(Get16(expected, entry), 292);
  Put32(expected, entry + 8, 0);
  Put16(expected, entry, 293);
  EXPECT_EQ(Retag(source.bytes), expected);
}

TEST_F(TiffRoutines, RetagLeavesAFileWithoutT4OptionsByteForByte) {
  TestPage page = FaxPage(4, 0, Pattern(10));
  page.entries.erase(page.entries.begin() + 13);
  const BuiltTiff source = BuildTiff({page, page});
  EXPECT_EQ(Retag(source.bytes), source.bytes);
}

// Regression: the edit used to turn the T4Options of 2-D coded pages into
// T6Options 0 as well, leaving no record of the coding.
TEST_F(TiffRoutines, RetagKeepsTheCodingOfTwoDimensionalT4PagesAndEditsTheRest) {
  const BuiltTiff source = BuildTiff(
      {FaxPage(3, 1, Pattern(9)), FaxPage(3, 4, Pattern(9)), FaxPage(4, 1, Pattern(9)), FaxPage(3, 5, Pattern(9))});
  const std::vector<ReadPage> pages = ReadTiff(Retag(source.bytes));
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_EQ(pages[0].Find(292)->value, 1u);
  EXPECT_EQ(pages[0].Find(293), nullptr);
  EXPECT_EQ(pages[1].Find(293)->value, 0u);  // 1-D with fill bits
  EXPECT_EQ(pages[2].Find(293)->value, 0u);  // MMR carrying a stray T4Options, as the fax service writes it
  EXPECT_EQ(pages[3].Find(292)->value, 5u);
}

TEST_F(TiffRoutines, ResolutionsBecomeIntegersOverOne) {
  struct Case {
    uint32_t numerator, denominator, wantNumerator, wantDenominator;
  } cases[] = {
      {204, 1, 204, 1},
      {7700, 100, 77, 1},
      {2, 3, 0, 1},
      {5, 0, 5, 0},
      {static_cast<uint32_t>(-7), 2, static_cast<uint32_t>(-3), 1},  // signed, toward zero
      // Regression: INT_MIN / -1 overflowed (a crash on x86); it stays as it is.
      {0x80000000u, 0xFFFFFFFFu, 0x80000000u, 0xFFFFFFFFu},
  };
  for (const Case& c : cases) {
    TestPage page = FaxPage(4, 0, Pattern(5));
    page.entries[11] = Rational(282, c.numerator, c.denominator);
    const Bytes result = Restructure(BuildTiff({page}).bytes);
    const uint32_t at = ReadTiff(result)[0].Find(282)->value;
    EXPECT_EQ(Get32(result, at), c.wantNumerator) << c.numerator << "/" << c.denominator;
    EXPECT_EQ(Get32(result, at + 4), c.wantDenominator) << c.numerator << "/" << c.denominator;
  }
}

TEST_F(TiffRoutines, AddedEntriesKeepTheTagsAscendingAndTagsAbove306AreDropped) {
  TestPage endsAt283{{Short(256, 8), Short(259, 4), StripOffsets(), StripByteCounts(), Rational(283, 98, 1)},
                     Pattern(4)};
  EXPECT_EQ(ReadTiff(Restructure(BuildTiff({endsAt283}).bytes))[0].Tags(),
            (std::vector<uint16_t>{256, 259, 273, 274, 279, 283, 284}));

  // Unsorted: Orientation goes before the first tag above 274, whatever follows.
  TestPage unsorted{{Short(256, 8), StripByteCounts(), StripOffsets()}, Pattern(4)};
  EXPECT_EQ(ReadTiff(Restructure(BuildTiff({unsorted}).bytes))[0].Tags(),
            (std::vector<uint16_t>{256, 274, 279, 273, 284}));

  TestPage privateTag = FaxPage(4, 0, Pattern(4));
  privateTag.entries.push_back(Long(32768, 1));
  privateTag.entries.push_back(Short(270, 1));  // after a dropped tag: dropped too
  const ReadPage page = ReadTiff(Restructure(BuildTiff({privateTag}).bytes))[0];
  EXPECT_EQ(page.Find(32768), nullptr);
  EXPECT_EQ(page.Find(270), nullptr);
  EXPECT_EQ(page.entries.size(), 17u);
}

TEST_F(TiffRoutines, PagesAreChainedInOrderWithImageDataCopiedWhole) {
  // An odd first strip puts the second directory at an odd offset; the
  // third strip spans several copy chunks.
  const Bytes strips[] = {Pattern(101, 1), Pattern(64, 2), Pattern(3 * ChunkWriter::kChunkSize + 17, 3)};
  const BuiltTiff source = BuildTiff({FaxPage(4, 0, strips[0]), FaxPage(3, 0, strips[1]), FaxPage(3, 1, strips[2])});
  const Bytes result = Restructure(source.bytes);
  const std::vector<ReadPage> pages = ReadTiff(result);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].offset, 8u);
  for (size_t i = 0; i < 3; ++i) {
    const uint32_t stripAt = pages[i].Find(273)->value;
    EXPECT_EQ(Slice(result, stripAt, strips[i].size()), strips[i]) << "page " << i;
    EXPECT_EQ(pages[i].next, i < 2 ? stripAt + strips[i].size() : 0u) << "page " << i;
  }
  EXPECT_EQ(pages[1].offset % 2, 1u);
  EXPECT_EQ(Pages(result), 3u);
  EXPECT_EQ(Pages(source.bytes), 3u);
}

TEST_F(TiffRoutines, RestructuringTwiceChangesNothing) {
  TestPage odd = FaxPage(3, 0, Pattern(77));
  odd.entries[11] = Rational(282, 7700, 100);
  const Bytes once = Restructure(BuildTiff({ExamplePage(Pattern(5)), odd}).bytes);
  EXPECT_EQ(Restructure(once), once);
}

TEST_F(TiffRoutines, ShortStripOffsetBecomesLong) {
  TestPage page = FaxPage(4, 0, Pattern(70000));
  page.entries[7] = Short(273, 8);  // the builder puts the strip right after the header
  const Bytes result = Restructure(BuildTiff({page}).bytes);
  const std::vector<ReadPage> pages = ReadTiff(result);
  const ReadEntry* offsets = pages[0].Find(273);
  EXPECT_EQ(offsets->type, 4);
  EXPECT_EQ(Slice(result, offsets->value, 70000), Pattern(70000));
}

// Regression: out-of-line values of types other than 1-5 kept their old
// offset and pointed into unrelated bytes of the result.
TEST_F(TiffRoutines, OutOfLineValuesOfEveryTypeMove) {
  TestPage page = FaxPage(4, 0, Pattern(30));
  const Bytes value = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  page.entries.push_back({300, 12, 2, 0, value});  // two DOUBLEs
  const Bytes result = Restructure(BuildTiff({page}).bytes);
  const std::vector<ReadPage> pages = ReadTiff(result);
  const ReadEntry* entry = pages[0].Find(300);
  EXPECT_EQ(Slice(result, entry->value, 16), value);
}

// The header alone, with first-directory offset 8 as for any rewrite, and
// no directory there: no valid TIFF either way, and no pages.
TEST_F(TiffRoutines, DocumentWithoutPagesGivesAHeaderPointingAtOffset8) {
  const Bytes empty = {'I', 'I', 42, 0, 0, 0, 0, 0};
  const Bytes result = Restructure(empty);
  EXPECT_EQ(result, (Bytes{'I', 'I', 42, 0, 8, 0, 0, 0}));
  TiffStatus status;
  EXPECT_EQ(Pages(empty, &status), 0u);
  EXPECT_TRUE(status);
  EXPECT_EQ(Pages(result, &status), 0u);
}

class MalformedTiff : public TiffRoutines {
 protected:
  // The rewrite fails with the fault and leaves no result file behind.
  void ExpectRejected(const Bytes& bytes, TiffFault fault) {
    const std::string result = scratch_.Path("bad-result.tif");
    EXPECT_EQ(RestructureTiffFile(scratch_.Write("bad.tif", bytes), result).fault, fault) << DescribeTiffFault(fault);
    EXPECT_FALSE(ScratchFolder::Exists(result)) << "a partial result was left behind";
  }

  // A fault in the directory chain itself stops all three routines.
  void ExpectChainRejected(const Bytes& bytes, TiffFault fault) {
    ExpectRejected(bytes, fault);
    TiffStatus status;
    EXPECT_EQ(Pages(bytes, &status), 0u);
    EXPECT_EQ(status.fault, fault);
    EXPECT_EQ(ProcessTiffTags(scratch_.Write("bad-retag.tif", bytes), kTagT4Options, kTagT6Options).fault, fault);
  }

  // The edit must not write anything when it cannot read the first directory.
  void ExpectRetagWritesNothing(const Bytes& bytes) {
    const std::string path = scratch_.Write("bad-retag.tif", bytes);
    EXPECT_FALSE(ProcessTiffTags(path, kTagT4Options, kTagT6Options));
    EXPECT_EQ(ScratchFolder::Read(path), bytes);
  }

  BuiltTiff TwoPages() { return BuildTiff({FaxPage(4, 1, Pattern(20)), FaxPage(4, 1, Pattern(20))}); }
};

TEST_F(MalformedTiff, DirectoryChainThatLoopsBack) {
  BuiltTiff self = BuildTiff({FaxPage(4, 0, Pattern(20))});
  Put32(self.bytes, self.bytes.size() - 4, self.directories[0]);
  ExpectChainRejected(self.bytes, TiffFault::DirectoryLoop);

  BuiltTiff twoPages = TwoPages();
  Put32(twoPages.bytes, twoPages.bytes.size() - 4, twoPages.directories[0]);
  ExpectChainRejected(twoPages.bytes, TiffFault::DirectoryLoop);
}

// Minimal pages that share one byte of image data, chained back to back.
Bytes ChainOfPages(uint32_t count) {
  Bytes bytes = {'I', 'I', 42, 0, 9, 0, 0, 0, 0xAA};
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = bytes.size();
    bytes.resize(at + 30);
    Put16(bytes, at, 2);
    Put16(bytes, at + 2, 273), Put16(bytes, at + 4, 4), Put32(bytes, at + 6, 1), Put32(bytes, at + 10, 8);
    Put16(bytes, at + 14, 279), Put16(bytes, at + 16, 4), Put32(bytes, at + 18, 1), Put32(bytes, at + 22, 1);
    Put32(bytes, at + 26, i + 1 < count ? static_cast<uint32_t>(at + 30) : 0);
  }
  return bytes;
}

TEST_F(MalformedTiff, MoreDirectoriesThanTheLimit) {
  ExpectChainRejected(ChainOfPages(kMaxDirectories + 1), TiffFault::TooManyDirectories);
  const Bytes atTheLimit = ChainOfPages(kMaxDirectories);
  EXPECT_EQ(Pages(atTheLimit), kMaxDirectories);
  EXPECT_EQ(Pages(Restructure(atTheLimit)), kMaxDirectories);
}

TEST_F(MalformedTiff, OffsetsAndCountsPastTheEnd) {
  BuiltTiff tiff = TwoPages();
  const uint32_t dir = tiff.directories[1];

  Bytes firstDirectory = tiff.bytes;
  Put32(firstDirectory, 4, static_cast<uint32_t>(tiff.bytes.size() - 1));
  ExpectChainRejected(firstDirectory, TiffFault::BeyondEnd);
  ExpectRetagWritesNothing(firstDirectory);

  Bytes nextDirectory = tiff.bytes;
  Put32(nextDirectory, tiff.directories[0] + 2 + 12 * 15, 0xFFFFFFF0u);
  ExpectChainRejected(nextDirectory, TiffFault::BeyondEnd);

  Bytes entryCount = tiff.bytes;
  Put16(entryCount, dir, 0xFFFF);
  ExpectChainRejected(entryCount, TiffFault::BeyondEnd);

  Bytes stripOffset = tiff.bytes;
  Put32(stripOffset, dir + 2 + 12 * 7 + 8, static_cast<uint32_t>(tiff.bytes.size() - 10));
  ExpectRejected(stripOffset, TiffFault::BeyondEnd);

  Bytes valueOffset = tiff.bytes;
  Put32(valueOffset, dir + 2 + 12 * 11 + 8, 0xFFFFFFFCu);
  ExpectRejected(valueOffset, TiffFault::BeyondEnd);

  Bytes valueCount = tiff.bytes;
  Put32(valueCount, dir + 2 + 12 * 11 + 4, 0x40000000u);
  ExpectRejected(valueCount, TiffFault::BeyondEnd);
}

TEST_F(MalformedTiff, StripLengthNearFourGigabytes) {
  BuiltTiff tiff = BuildTiff({FaxPage(4, 0, Pattern(20))});
  Put32(tiff.bytes, tiff.directories[0] + 2 + 12 * 10 + 8, 0xFFFFFFF0u);
  ExpectRejected(tiff.bytes, TiffFault::BeyondEnd);
}

TEST_F(MalformedTiff, TruncatedAtEveryLength) {
  const Bytes whole = TwoPages().bytes;
  for (size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE(length);
    ExpectChainRejected(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)),
                        length < 8 ? TiffFault::NotTiff : TiffFault::BeyondEnd);
  }
}

TEST_F(MalformedTiff, EmptyBigEndianAndForeignFiles) {
  ExpectChainRejected({}, TiffFault::NotTiff);
  ExpectChainRejected({'M', 'M', 0, 42, 0, 0, 0, 8}, TiffFault::BigEndian);
  ExpectChainRejected({'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, TiffFault::NotTiff);  // BigTIFF
  ExpectChainRejected({'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, TiffFault::NotTiff);
  ExpectRetagWritesNothing({'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 1, 36, 0, 4, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0});
}

TEST_F(MalformedTiff, PagesWithoutASingleUsableStrip) {
  TestPage twoStrips = FaxPage(4, 0, Pattern(20));
  twoStrips.entries[7] = {273, 4, 2, 0, {8, 0, 0, 0, 18, 0, 0, 0}};
  twoStrips.entries[10] = {279, 4, 2, 0, {10, 0, 0, 0, 10, 0, 0, 0}};
  ExpectRejected(BuildTiff({twoStrips}).bytes, TiffFault::MultipleStrips);

  TestPage twoOffsetEntries = FaxPage(4, 0, Pattern(20));
  twoOffsetEntries.entries.insert(twoOffsetEntries.entries.begin() + 8, Long(273, 8));
  ExpectRejected(BuildTiff({twoOffsetEntries}).bytes, TiffFault::MultipleStrips);

  TestPage noStrip = FaxPage(4, 0, Pattern(20));
  noStrip.entries.erase(noStrip.entries.begin() + 7);
  ExpectRejected(BuildTiff({noStrip}).bytes, TiffFault::NoStrip);

  TestPage emptyStrip = FaxPage(4, 0, {});
  ExpectRejected(BuildTiff({emptyStrip}).bytes, TiffFault::NoStrip);

  TestPage firstTagAbove306{{Long(307, 1), StripOffsets(), StripByteCounts()}, Pattern(4)};
  ExpectRejected(BuildTiff({firstTagAbove306}).bytes, TiffFault::NoKeptEntry);
}

// faxtiff holds the edit in memory instead of writing a working copy. A strip
// that covers both directories (legal, if odd) must still carry their edited
// entries, as the provider's edited copy does.
TEST_F(MalformedTiff, FaxtiffWayGivesTheProvidersBytesWhereAStripCoversDirectories) {
  BuiltTiff tiff = TwoPages();
  const uint32_t end = tiff.directories[1] + 2 + 12 * 15 + 4;
  Put32(tiff.bytes, tiff.directories[0] + 2 + 12 * 10 + 8,
        end - Get32(tiff.bytes, tiff.directories[0] + 2 + 12 * 7 + 8));
  const Bytes providers = Restructure(Retag(tiff.bytes));

  TiffStatus retagged;
  const std::string result = scratch_.Path("faxtiff.tif");
  EXPECT_TRUE(RestructureAsProvider(scratch_.Write("document.tif", tiff.bytes), result, retagged));
  EXPECT_TRUE(retagged);
  EXPECT_EQ(ScratchFolder::Read(result), providers);
}

// Regression: faxtiff named another offset than the provider when page 1
// failed on a value that the edit of page 2's directory changes. Page 2's
// directory lies inside page 1's: its T4Options entry is the value of page
// 1's PageNumber entry and the entry after it. The provider edits the whole
// chain before the rewrite fails on that value; faxtiff failed before it
// reached page 2.
TEST_F(MalformedTiff, FaxtiffWayNamesTheProvidersFaultWhereALaterEditChangesIt) {
  TestPage page = FaxPage(4, 0, Pattern(20));
  page.entries.push_back({297, 3, 0x00010002, kTagT4Options | 4u << 16, {}});  // far past the end
  page.entries.push_back({1, 0, 4, 0, {}});
  BuiltTiff tiff = BuildTiff({page});
  const uint32_t value = tiff.directories[0] + 2 + 12 * 15 + 8;
  Put32(tiff.bytes, tiff.bytes.size() - 4, value - 2);  // the second directory: one entry, at `value`

  const std::string providersCopy = scratch_.Write("copy.tif", tiff.bytes);
  ProcessTiffTags(providersCopy, kTagT4Options, kTagT6Options);
  const TiffStatus providers = RestructureTiffFile(providersCopy, scratch_.Path("providers.tif"));
  ASSERT_EQ(providers.fault, TiffFault::BeyondEnd);
  EXPECT_EQ(providers.place.offset, (kTagT6Options | 4 << 16));
  TiffStatus retagged;
  const TiffStatus faxtiffs =
      RestructureAsProvider(scratch_.Write("document.tif", tiff.bytes), scratch_.Path("faxtiff.tif"), retagged);
  EXPECT_EQ(DescribeTiffStatus(faxtiffs), DescribeTiffStatus(providers));
}

// Where each fault lies: page, tag and offset, as faxtiff and the log show them.
class FaultPlaces : public MalformedTiff {
 protected:
  TiffStatus Rejected(const Bytes& bytes) { return RestructureStatus(bytes); }

  static void ExpectPlace(const TiffStatus& status, uint32_t page, int32_t tag, int64_t offset) {
    EXPECT_EQ(status.place.page, page) << DescribeTiffStatus(status);
    EXPECT_EQ(status.place.tag, tag) << DescribeTiffStatus(status);
    EXPECT_EQ(status.place.offset, offset) << DescribeTiffStatus(status);
  }

  static uint64_t EntryAt(uint32_t directory, int index) { return directory + 2 + 12 * index; }
};

TEST_F(FaultPlaces, PastTheEndNamesTheFieldThatPointsThere) {
  BuiltTiff tiff = TwoPages();
  const uint32_t dir = tiff.directories[1];
  const uint64_t size = tiff.bytes.size();

  Bytes length = tiff.bytes;
  const uint32_t stripAt = Get32(length, EntryAt(dir, 7) + 8);
  Put32(length, EntryAt(dir, 10) + 8, static_cast<uint32_t>(size));
  const TiffStatus tooLong = Rejected(length);
  ExpectPlace(tooLong, 2, 279, static_cast<int64_t>(stripAt + size));
  EXPECT_EQ(DescribeTiffStatus(tooLong),
            "page 2: StripByteCounts (279): count points past the end of the file (offset " +
                std::to_string(stripAt + size) + ", file " + std::to_string(size) + " bytes)");

  Bytes stripOffset = tiff.bytes;
  Put32(stripOffset, EntryAt(dir, 7) + 8, 1204332);
  const TiffStatus farStrip = Rejected(stripOffset);
  ExpectPlace(farStrip, 2, 273, 1204332);
  EXPECT_NE(DescribeTiffStatus(farStrip).find("StripOffsets (273): offset points past the end of the file (offset "
                                              "1,204,332, file "),
            std::string::npos);

  Bytes valueOffset = tiff.bytes;
  Put32(valueOffset, EntryAt(dir, 11) + 8, 0xFFFFFFFCu);
  ExpectPlace(Rejected(valueOffset), 2, 282, 0xFFFFFFFCu);

  Bytes directoryOffset = tiff.bytes;
  Put32(directoryOffset, EntryAt(tiff.directories[0], 15), 0xFFFFFFF0u);
  const TiffStatus farDirectory = Rejected(directoryOffset);
  ExpectPlace(farDirectory, 2, -1, 0xFFFFFFF0u);
  EXPECT_EQ(farDirectory.place.countPastEnd, false);

  Bytes entryCount = tiff.bytes;
  Put16(entryCount, dir, 0xFFFF);
  const TiffStatus manyEntries = Rejected(entryCount);
  ExpectPlace(manyEntries, 2, -1, dir + 2 + 12 * 0xFFFF + 4);
  EXPECT_EQ(manyEntries.place.countPastEnd, true);
}

TEST_F(FaultPlaces, ChainAndStripFaultsNameTheirPageAndDirectory) {
  BuiltTiff loop = TwoPages();
  Put32(loop.bytes, loop.bytes.size() - 4, loop.directories[0]);
  ExpectPlace(Rejected(loop.bytes), 3, -1, loop.directories[0]);
  TiffStatus counted;
  Pages(loop.bytes, &counted);
  ExpectPlace(counted, 3, -1, loop.directories[0]);

  TestPage twoStrips = FaxPage(4, 0, Pattern(20));
  twoStrips.entries[7] = {273, 4, 2, 0, {8, 0, 0, 0, 18, 0, 0, 0}};
  BuiltTiff multiple = BuildTiff({FaxPage(4, 0, Pattern(20)), twoStrips});
  ExpectPlace(Rejected(multiple.bytes), 2, 273, multiple.directories[1]);

  TestPage noOffsets = FaxPage(4, 0, Pattern(20));
  noOffsets.entries.erase(noOffsets.entries.begin() + 7);
  BuiltTiff missing = BuildTiff({noOffsets});
  ExpectPlace(Rejected(missing.bytes), 1, 273, missing.directories[0]);

  BuiltTiff empty = BuildTiff({FaxPage(4, 0, {})});
  ExpectPlace(Rejected(empty.bytes), 1, 279, empty.directories[0]);

  TestPage above306{{Long(307, 1), StripOffsets(), StripByteCounts()}, Pattern(4)};
  BuiltTiff noKept = BuildTiff({FaxPage(4, 0, Pattern(20)), above306});
  const TiffStatus status = Rejected(noKept.bytes);
  ExpectPlace(status, 2, 307, noKept.directories[1]);
  EXPECT_EQ(DescribeTiffStatus(status), "page 2: tag 307 (307): a directory has no entry up to tag 306 (offset " +
                                            std::to_string(noKept.directories[1]) + ")");
}

// The header is not on a page; a missing file says what the system said.
TEST_F(FaultPlaces, FileFaultsHaveNoPage) {
  ExpectPlace(Rejected({'M', 'M', 0, 42, 0, 0, 0, 8}), 0, -1, -1);
  const TiffStatus missing = RestructureTiffFile(scratch_.Path("missing.tif"), scratch_.Path("out.tif"));
  EXPECT_EQ(DescribeTiffStatus(missing), std::string("cannot open the file: ") + std::strerror(ENOENT));
}

TEST(TiffFaults, JobErrorCodes) {
  EXPECT_EQ(ErrorCodeOf(Fail(TiffFault::NoStrip, 0)), kUnexpected);
  EXPECT_EQ(ErrorCodeOf(Fail(TiffFault::NoKeptEntry, 0)), kUnexpected);
  EXPECT_EQ(ErrorCodeOf(Fail(TiffFault::DirectoryLoop, 0)), kUnexpected);
  EXPECT_EQ(ErrorCodeOf(Fail(TiffFault::OutOfMemory, 0)), 0x8007000Eu);
  EXPECT_EQ(ErrorCodeOf(Fail(TiffFault::CannotRead, 5)), 5u);
  EXPECT_EQ(ErrorCodeOf({}), 0u);
}

TEST_F(TiffRoutines, MissingSourceReportsTheSystemError) {
  const TiffStatus status = RestructureTiffFile(scratch_.Path("missing.tif"), scratch_.Path("out.tif"));
  EXPECT_EQ(status.fault, TiffFault::CannotOpen);
  EXPECT_EQ(ErrorCodeOf(status), static_cast<uint32_t>(ENOENT));
  EXPECT_FALSE(ScratchFolder::Exists(scratch_.Path("out.tif")));
}

// Regression: with the destination naming the source, creating the
// destination emptied the document before it was read.
TEST_F(TiffRoutines, DestinationThatIsTheSourceIsRefusedNotEmptied) {
  const Bytes source = BuildTiff({FaxPage(4, 0, Pattern(20))}).bytes;
  const std::string path = scratch_.Write("same.tif", source);
  EXPECT_EQ(RestructureTiffFile(path, path).fault, TiffFault::CannotCreate);
  EXPECT_EQ(ScratchFolder::Read(path), source);
}

// Regression: a rewrite that failed on a later page left the partly written
// result on disk, fax content included.
TEST_F(TiffRoutines, FailureOnALaterPageRemovesTheResult) {
  BuiltTiff tiff = BuildTiff({FaxPage(4, 0, Pattern(5000)), FaxPage(4, 0, Pattern(20))});
  Put32(tiff.bytes, tiff.directories[1] + 2 + 12 * 10 + 8, 0xFFFFFFF0u);
  const std::string result = scratch_.Write("result.tif", Bytes{1, 2, 3});
  EXPECT_EQ(RestructureTiffFile(scratch_.Write("source.tif", tiff.bytes), result).fault, TiffFault::BeyondEnd);
  EXPECT_FALSE(ScratchFolder::Exists(result));
}

}  // namespace
}  // namespace corvisk::testing
