// Many jobs started, sent, queried, aborted and ended from several threads at
// once, as the fax service does.
#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "ProviderFixture.h"

using namespace corvisk::test;
using namespace corvisk::testbed;

namespace {

constexpr int kWorkers = 4;
constexpr int kJobsPerWorker = 60;

class ConcurrencyTest : public ProviderTest {
 protected:
  // Live job handles that the disturbing threads may query or abort.
  std::mutex lock_;
  std::vector<HANDLE> live_;
  std::atomic<bool> stop_{false};

  void Publish(HANDLE job) {
    std::lock_guard<std::mutex> guard(lock_);
    live_.push_back(job);
  }
  // Removed from the list before it is ended, so a concurrent call may still
  // race the end: that is a stale handle, which the provider must reject.
  void Withdraw(HANDLE job) {
    std::lock_guard<std::mutex> guard(lock_);
    live_.erase(std::find(live_.begin(), live_.end(), job));
  }
  HANDLE Pick(std::mt19937& random) {
    std::lock_guard<std::mutex> guard(lock_);
    if (live_.empty()) return nullptr;
    return live_[std::uniform_int_distribution<size_t>(0, live_.size() - 1)(random)];
  }

  void RunJobs(int worker) {
    for (int i = 0; i < kJobsPerWorker; ++i) {
      const ULONG_PTR key = static_cast<ULONG_PTR>(worker * kJobsPerWorker + i + 1);
      HANDLE job = nullptr;
      ASSERT_TRUE(Host().FaxDevStartJob(0, kServiceDeviceId, &job, Host().Port(), key));
      Publish(job);
      FAX_SEND send = SendFor();
      EXPECT_FALSE(Host().FaxDevSend(job, &send, nullptr));
      const DWORD error = GetLastError();
      // No settings key: each send fails as not configured, or stops as aborted.
      EXPECT_TRUE(error == 995 || error == ERROR_FILE_NOT_FOUND) << std::hex << error;
      Withdraw(job);
      EXPECT_TRUE(Host().FaxDevEndJob(job));
    }
  }

  void Disturb(unsigned seed) {
    std::mt19937 random(seed);
    std::vector<BYTE> buffer(4096);
    while (!stop_) {
      HANDLE job = Pick(random);
      if (!job) continue;
      DWORD required = 0;
      if (random() % 4 == 0)
        Host().FaxDevAbortOperation(job);
      else
        Host().FaxDevReportStatus(job, reinterpret_cast<FAX_DEV_STATUS*>(buffer.data()),
                                  static_cast<DWORD>(buffer.size()), &required);
    }
  }
};

TEST_F(ConcurrencyTest, ManyJobsFromManyThreadsPostTwoPacketsEachAndLeakNothing) {
  StartService();
  std::vector<std::thread> threads;
  for (int worker = 0; worker < kWorkers; ++worker) threads.emplace_back([this, worker] { RunJobs(worker); });
  std::vector<std::thread> disturbers;
  for (unsigned seed = 1; seed <= 2; ++seed) disturbers.emplace_back([this, seed] { Disturb(seed); });
  for (std::thread& thread : threads) thread.join();
  stop_ = true;
  for (std::thread& thread : disturbers) thread.join();

  std::map<ULONG_PTR, std::vector<StatusPacket>> byJob;
  for (const StatusPacket& packet : TakePackets()) byJob[packet.key].push_back(packet);
  ASSERT_EQ(byJob.size(), static_cast<size_t>(kWorkers * kJobsPerWorker));
  for (const auto& [key, packets] : byJob) {
    ASSERT_EQ(packets.size(), 2u) << "job " << key;
    EXPECT_EQ(packets[0].statusId, FS_INITIALIZING);
    EXPECT_NE(packets[1].statusId, FS_INITIALIZING);
    EXPECT_EQ(packets[1].bytes, packets[1].sizeOfStruct);
  }
  ShutDown();
}

}  // namespace
