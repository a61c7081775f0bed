// Status reporting of a job: completion packets, status queries and aborts.
#include <vector>

#include "ProviderFixture.h"
#include "SettingsKey.h"

using namespace corvisk::test;
using namespace corvisk::testbed;

namespace {

constexpr DWORD kFixed = sizeof(FAX_DEV_STATUS);

class JobStatusTest : public ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    StartService();
    job_ = StartJob(42);
  }
  void TearDown() override {
    if (job_) EndJob(job_);
    ProviderTest::TearDown();
  }

  // Queries the status into a buffer of the given size.
  BOOL Query(std::vector<BYTE>& buffer, DWORD size, DWORD* required) {
    buffer.assign(size + 16, 0xCC);
    SetLastError(kUntouched);
    return Host().FaxDevReportStatus(job_, reinterpret_cast<FAX_DEV_STATUS*>(buffer.data()), size, required);
  }
  FAX_DEV_STATUS Status() {
    std::vector<BYTE> buffer;
    DWORD required = 0;
    EXPECT_TRUE(Query(buffer, kFixed, &required));
    return *reinterpret_cast<FAX_DEV_STATUS*>(buffer.data());
  }

  HANDLE job_ = nullptr;
};

void ExpectPacket(const StatusPacket& packet, DWORD statusId, DWORD errorCode) {
  EXPECT_EQ(packet.statusId, statusId);
  EXPECT_EQ(packet.errorCode, errorCode);
  EXPECT_EQ(packet.key, 42u);
  EXPECT_EQ(packet.bytes, kFixed);
  EXPECT_EQ(packet.sizeOfStruct, packet.bytes);
  EXPECT_EQ(packet.pageCount, 0u);
  EXPECT_EQ(packet.stringId, 0u);
}

TEST_F(JobStatusTest, SizeQueryOnAFreshJobGivesTheFixedSize) {
  DWORD required = 0;
  SetLastError(kUntouched);
  EXPECT_TRUE(Host().FaxDevReportStatus(job_, nullptr, 0, &required));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(required, kFixed);
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevReportStatus(job_, nullptr, 0, nullptr)) << "a size query needs somewhere to answer";
  EXPECT_EQ(GetLastError(), kUnexpected);
}

TEST_F(JobStatusTest, ShortBufferIsNotWrittenButTheSizeIsReported) {
  std::vector<BYTE> buffer;
  DWORD required = 0;
  EXPECT_FALSE(Query(buffer, kFixed - 1, &required));
  EXPECT_EQ(GetLastError(), kUnexpected);
  EXPECT_EQ(required, kFixed);
  for (BYTE byte : buffer) ASSERT_EQ(byte, 0xCC);
}

TEST_F(JobStatusTest, LargerBufferReportsTheNeededSize) {
  std::vector<BYTE> buffer;
  DWORD required = 0;
  EXPECT_TRUE(Query(buffer, 4096, &required));
  EXPECT_EQ(GetLastError(), 0u);
  const auto* status = reinterpret_cast<const FAX_DEV_STATUS*>(buffer.data());
  EXPECT_EQ(status->SizeOfStruct, kFixed);
  EXPECT_EQ(status->StatusId, 0u) << "a registered job reports status 0";
  EXPECT_EQ(status->StringId, 0u);
  EXPECT_EQ(status->PageCount, 0u);
  EXPECT_EQ(status->CSI, nullptr);
  EXPECT_EQ(status->CallerId, nullptr);
  EXPECT_EQ(status->RoutingInfo, nullptr);
  EXPECT_EQ(buffer[kFixed], 0xCC) << "nothing is written past the needed size";
}

TEST_F(JobStatusTest, SendPostsTwoPacketsAndRecordsTheOutcome) {
  FAX_SEND send = SendFor();
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevSend(job_, &send, nullptr));
  const DWORD error = GetLastError();
  const std::vector<StatusPacket> packets = TakePackets();
  ASSERT_EQ(packets.size(), 2u);
  ExpectPacket(packets[0], FS_INITIALIZING, 0);
  ExpectPacket(packets[1], FS_FATAL_ERROR, error);
  const FAX_DEV_STATUS status = Status();
  EXPECT_EQ(status.StatusId, FS_FATAL_ERROR);
  EXPECT_EQ(status.ErrorCode, error);
}

TEST_F(JobStatusTest, ReceivePostsTwoPacketsAndFailsTheJob) {
  FAX_RECEIVE receive{};
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevReceive(job_, 0, &receive));
  EXPECT_EQ(GetLastError(), kUnexpected);
  const std::vector<StatusPacket> packets = TakePackets();
  ASSERT_EQ(packets.size(), 2u);
  ExpectPacket(packets[0], FS_INITIALIZING, 0);
  ExpectPacket(packets[1], FS_FATAL_ERROR, kUnexpected);
  const FAX_DEV_STATUS status = Status();
  EXPECT_EQ(status.StatusId, FS_FATAL_ERROR);
  EXPECT_EQ(status.ErrorCode, kUnexpected);
  EXPECT_EQ(status.PageCount, 0u);
}

TEST_F(JobStatusTest, AbortOfAnIdleJobMakesEveryLaterSendStop) {
  WriteMinimalSettings();
  SetLastError(kUntouched);
  EXPECT_TRUE(Host().FaxDevAbortOperation(job_));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(DebugText(), "");
  const std::wstring fax = TestFax(L"normal1.tif");
  FAX_SEND send = SendFor();
  send.FileName = const_cast<wchar_t*>(fax.c_str());
  // The flag is never cleared: a second send stops the same way.
  for (int attempt = 0; attempt < 2; ++attempt) {
    SetLastError(kUntouched);
    EXPECT_FALSE(Host().FaxDevSend(job_, &send, nullptr));
    EXPECT_EQ(GetLastError(), 995u);
    const std::vector<StatusPacket> packets = TakePackets();
    ASSERT_EQ(packets.size(), 2u);
    ExpectPacket(packets[1], FS_USER_ABORT, 995);
  }
  DeleteSettingsKey();
}

}  // namespace
