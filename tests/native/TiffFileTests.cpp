#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "TiffTestFiles.h"
#include "tiff/TiffT37.h"

namespace corvisk::testing {
namespace {

Bytes Pattern(size_t size, uint8_t seed) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13 + i / 251);
  return bytes;
}

void ExpectLostRead(const TiffStatus& status, int64_t offset) {
  EXPECT_EQ(status.fault, TiffFault::CannotRead) << DescribeTiffStatus(status);
  EXPECT_EQ(status.systemError, static_cast<uint32_t>(EIO));
  EXPECT_EQ(status.place.offset, offset);
}

// The lock on a document is advisory: another process can shrink it while
// views of it are mapped. Reads from the lost part, and writes of data taken
// from it, fail as reads of a file that ended early instead of the process
// dying of SIGBUS; and it goes on failing them.
TEST(TiffFileViews, FileThatShrinksWhileMappedFailsReadsInsteadOfCrashing) {
  ScratchFolder scratch;
  const std::string path = scratch.Write("shrinks.tif", Pattern(3 * TiffReader::kViewSize, 1));
  TiffFile file;
  ASSERT_TRUE(file.Open(path, TiffFile::Access::Read));
  ASSERT_TRUE(file.Mappable());
  TiffReader reader(file);
  unsigned char bytes[16];
  ASSERT_TRUE(reader.ReadAt(0, bytes, sizeof bytes));
  ASSERT_EQ(truncate(path.c_str(), 100), 0);

  ExpectLostRead(reader.ReadAt(50000, bytes, sizeof bytes), 50000);
  ExpectLostRead(reader.ReadAt(2 * TiffReader::kViewSize, bytes, sizeof bytes), 2 * TiffReader::kViewSize);
  OutputFile output;
  ASSERT_TRUE(output.Create(scratch.Path("copy.tif")));
  ChunkWriter writer(output.file());
  TiffStatus status = writer.AppendFrom(reader, 4096, 3 * ChunkWriter::kChunkSize);
  if (status) status = writer.Flush();
  ExpectLostRead(status, 4096);
}

// Data is taken from views in pieces: strips across the edges of views, and
// a page whose values lie scattered, more of them than one gathered write
// takes, so the rest is copied. Every byte still lands where it belongs.
TEST(TiffFileViews, DataFromManyPlacesAndAcrossViewsLandsInOrder) {
  const Bytes big = Pattern(TiffReader::kViewSize + 3 * ChunkWriter::kChunkSize + 5, 7);
  TestPage scattered = FaxPage(4, 0, Pattern(40, 9));
  for (int i = 0; i < 2 * static_cast<int>(TiffFile::kMaxSpans); ++i) {
    scattered.entries.push_back({305, 2, 8, static_cast<uint32_t>(i % 2 == 0 ? 8 : 1000 + i), {}});
  }
  const BuiltTiff source = BuildTiff({FaxPage(4, 0, big), scattered, FaxPage(4, 0, big)});
  ScratchFolder scratch;
  const std::string result = scratch.Path("result.tif");
  ASSERT_TRUE(RestructureTiffFile(scratch.Write("source.tif", source.bytes), result));

  const Bytes bytes = ScratchFolder::Read(result);
  const std::vector<ReadPage> pages = ReadTiff(bytes);
  ASSERT_EQ(pages.size(), 3u);
  for (size_t page : {0, 2}) {
    const uint32_t stripAt = pages[page].Find(273)->value;
    EXPECT_TRUE(std::equal(big.begin(), big.end(), bytes.begin() + stripAt)) << "page " << page + 1;
  }
  size_t checked = 0;
  for (const ReadEntry& entry : pages[1].entries) {
    if (entry.tag != 305) continue;
    const uint32_t from = checked % 2 == 0 ? 8 : static_cast<uint32_t>(1000 + checked);
    EXPECT_TRUE(std::equal(bytes.begin() + entry.value, bytes.begin() + entry.value + 8, source.bytes.begin() + from))
        << "value " << checked;
    ++checked;
  }
  EXPECT_EQ(checked, 2 * TiffFile::kMaxSpans);
}

}  // namespace
}  // namespace corvisk::testing
