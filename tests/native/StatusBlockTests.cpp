#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/FaxStatus.h"
#include "provider/StatusBlock.h"

using corvisk::DevStatusBlock;
using corvisk::JobStatus;
using corvisk::MeasureStatus;
using corvisk::PackStatus;

namespace {

constexpr uint32_t kFixed = sizeof(DevStatusBlock);

// A buffer filled with a marker byte, with guard bytes after the given size.
struct MarkedBuffer {
  explicit MarkedBuffer(uint32_t size) : bytes(size + 16, 0xAB), size(size) {}
  DevStatusBlock* block() { return reinterpret_cast<DevStatusBlock*>(bytes.data()); }
  bool GuardIntact() const {
    for (size_t i = size; i < bytes.size(); ++i)
      if (bytes[i] != 0xAB) return false;
    return true;
  }
  alignas(8) std::vector<unsigned char> bytes;
  uint32_t size;
};

}  // namespace

TEST(StatusBlock, FixedPartHasThePlatformSize) { EXPECT_EQ(kFixed, sizeof(void*) == 8 ? 56u : 44u); }

TEST(StatusBlock, MeasureCountsEachNonEmptyTextWithItsTerminator) {
  JobStatus status;
  EXPECT_EQ(MeasureStatus(status), kFixed);
  status.callerId = u"12";
  status.csi = u"abcd";
  EXPECT_EQ(MeasureStatus(status), kFixed + 3 * 2 + 5 * 2);
}

TEST(StatusBlock, PackFillsFieldsAndSizeOfStructIsTheGivenSize) {
  JobStatus status;
  status.statusId = FS_FATAL_ERROR;
  status.errorCode = 0x8000FFFF;
  status.pageCount = 7;
  MarkedBuffer buffer(kFixed);
  PackStatus(buffer.bytes.data(), buffer.size, status);
  const DevStatusBlock* block = buffer.block();
  EXPECT_EQ(block->SizeOfStruct, kFixed);
  EXPECT_EQ(block->StatusId, FS_FATAL_ERROR);
  EXPECT_EQ(block->ErrorCode, 0x8000FFFFu);
  EXPECT_EQ(block->StringId, 0u);
  EXPECT_EQ(block->PageCount, 0u) << "pages are reported only while transmitting, receiving or completed";
  EXPECT_EQ(block->CSI, nullptr);
  EXPECT_EQ(block->CallerId, nullptr);
  EXPECT_EQ(block->RoutingInfo, nullptr);
  EXPECT_EQ(block->Reserved[0] | block->Reserved[1] | block->Reserved[2], 0u);
  EXPECT_TRUE(buffer.GuardIntact());
}

TEST(StatusBlock, PageCountOnlyForTransmittingReceivingAndCompleted) {
  for (uint32_t id : {FS_TRANSMITTING, FS_RECEIVING, FS_COMPLETED, FS_INITIALIZING, FS_USER_ABORT}) {
    JobStatus status;
    status.statusId = id;
    status.pageCount = 3;
    MarkedBuffer buffer(kFixed);
    PackStatus(buffer.bytes.data(), buffer.size, status);
    const bool reported = id == FS_TRANSMITTING || id == FS_RECEIVING || id == FS_COMPLETED;
    EXPECT_EQ(buffer.block()->PageCount, reported ? 3u : 0u) << std::hex << id;
  }
}

TEST(StatusBlock, BufferBelowFixedSizeIsNeverWritten) {
  MarkedBuffer buffer(kFixed - 1);
  PackStatus(buffer.bytes.data(), buffer.size, JobStatus{});
  for (unsigned char byte : buffer.bytes) ASSERT_EQ(byte, 0xAB);
}

TEST(StatusBlock, TextsArePackedInOrderBehindTheFixedPart) {
  JobStatus status;
  status.callerId = u"C1";
  status.routingInfo = u"R22";
  status.csi = u"S";
  const uint32_t needed = MeasureStatus(status);
  MarkedBuffer buffer(needed);
  PackStatus(buffer.bytes.data(), buffer.size, status);
  const DevStatusBlock* block = buffer.block();
  const auto* base = reinterpret_cast<const unsigned char*>(block);
  EXPECT_EQ(reinterpret_cast<const unsigned char*>(block->CallerId), base + kFixed);
  EXPECT_EQ(reinterpret_cast<const unsigned char*>(block->RoutingInfo), base + kFixed + 6);
  EXPECT_EQ(reinterpret_cast<const unsigned char*>(block->CSI), base + kFixed + 6 + 8);
  EXPECT_EQ(std::u16string(block->CallerId), u"C1");
  EXPECT_EQ(std::u16string(block->RoutingInfo), u"R22");
  EXPECT_EQ(std::u16string(block->CSI), u"S");
  EXPECT_TRUE(buffer.GuardIntact());
}

TEST(StatusBlock, TextThatDoesNotFitWholeIsSkippedAndTakesNoRoom) {
  JobStatus status;
  status.callerId = u"LONGER";
  status.routingInfo = u"R";
  // Room for "R" and its terminator only: caller id is left out, routing info fits.
  MarkedBuffer buffer(kFixed + 4);
  PackStatus(buffer.bytes.data(), buffer.size, status);
  const DevStatusBlock* block = buffer.block();
  EXPECT_EQ(block->CallerId, nullptr);
  ASSERT_NE(block->RoutingInfo, nullptr);
  EXPECT_EQ(reinterpret_cast<const unsigned char*>(block->RoutingInfo), buffer.bytes.data() + kFixed);
  EXPECT_EQ(block->SizeOfStruct, kFixed + 4);
  EXPECT_TRUE(buffer.GuardIntact());
}
