#include "BatchRun.h"

#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "HostCapture.h"
#include "win32/AnsiText.h"

namespace corvisk::testbed {
namespace {

constexpr DWORD kDisturbPauseMs = 5;
constexpr DWORD kCollectWaitMs = 50;

double NowMs() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return value;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct JobRecord {
  ULONG_PTR key = 0;
  bool started = false;
  BOOL result = FALSE;
  DWORD lastError = 0;
  bool abortRequested = false;
  double startMs = 0, endMs = 0;
};

// A job while its send runs: the disturbing threads may query or abort it.
struct LiveJob {
  HANDLE handle = nullptr;
  JobRecord* record = nullptr;
  double abortAtMs = -1;  // negative: never aborted
};

class Batch {
 public:
  Batch(ProviderHost& host, const BatchOptions& options)
      : host_(host), options_(options), records_(options.jobs.size()), random_(options.seed) {}

  void Run() {
    origin_ = NowMs();
    std::thread collector([this] { CollectPackets(); });
    // Untimed sends first, one at a time, so the timed ones find the process
    // as a long-running fax service does: token fetched, connections open.
    for (size_t index = 0; index < options_.warmUpJobs && index < records_.size(); index = ++next_) SendOne(index);
    origin_ = NowMs();
    std::vector<std::thread> disturbers;
    for (unsigned i = 0; i < options_.statusThreads; ++i)
      disturbers.emplace_back([this, i] { Disturb(options_.seed * 7919u + i); });
    // The senders start together, as queued jobs do when the service starts.
    const unique_handle start(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::vector<std::thread> senders;
    for (unsigned i = 0; i < options_.concurrency; ++i)
      senders.emplace_back([this, &start] {
        WaitForSingleObject(start.get(), INFINITE);
        SendJobs();
      });
    SetEvent(start.get());
    for (std::thread& thread : senders) thread.join();
    wallMs_ = NowMs() - origin_;
    stopDisturbing_ = true;
    for (std::thread& thread : disturbers) thread.join();
    stopCollecting_ = true;
    collector.join();
  }

  void Print() const {
    for (size_t i = 0; i < records_.size(); ++i) PrintJob(i);
    std::printf("status faults=%u\n", statusFaults_.load());
    std::printf("wall_ms=%.1f\n", wallMs_);
  }

 private:
  // Each sender takes the next job of the plan until none is left.
  void SendJobs() {
    for (size_t index = next_++; index < records_.size(); index = next_++) SendOne(index);
  }

  void SendOne(size_t index) {
    JobRecord& record = records_[index];
    record.key = index + 1;
    HANDLE job = nullptr;
    if (!host_.FaxDevStartJob(0, kServiceDeviceId, &job, host_.Port(), record.key)) {
      record.lastError = GetLastError();
      return;
    }
    record.started = true;
    std::wstring number = options_.jobs[index].number, document = options_.jobs[index].document, empty;
    FAX_SEND send{};
    send.SizeOfStruct = sizeof send;
    send.FileName = document.data();
    send.CallerName = send.CallerNumber = send.ReceiverName = empty.data();
    send.ReceiverNumber = number.data();
    Publish(job, record);
    record.startMs = NowMs() - origin_;
    SetLastError(0);
    record.result = host_.FaxDevSend(job, &send, nullptr);
    record.lastError = GetLastError();
    record.endMs = NowMs() - origin_;
    Withdraw(job);
    host_.FaxDevEndJob(job);
  }

  void Publish(HANDLE job, JobRecord& record) {
    std::lock_guard<std::mutex> guard(liveLock_);
    LiveJob live{job, &record, -1};
    if (random_() % 100 < options_.abortPercent)
      live.abortAtMs = NowMs() + std::uniform_int_distribution<unsigned>(0, options_.maxAbortDelayMs)(random_);
    live_.push_back(live);
  }

  void Withdraw(HANDLE job) {
    std::lock_guard<std::mutex> guard(liveLock_);
    for (auto it = live_.begin(); it != live_.end(); ++it)
      if (it->handle == job) {
        live_.erase(it);
        return;
      }
  }

  // The calls are made under the list's lock, so a handle is never one whose
  // job has ended: a reused address would hit another job.
  void Disturb(unsigned seed) {
    std::mt19937 random(seed);
    std::vector<BYTE> buffer(4096);
    while (!stopDisturbing_) {
      {
        std::lock_guard<std::mutex> guard(liveLock_);
        const double now = NowMs();
        for (LiveJob& live : live_)
          if (live.abortAtMs >= 0 && live.abortAtMs <= now) {
            live.abortAtMs = -1;
            live.record->abortRequested = true;
            host_.FaxDevAbortOperation(live.handle);
          }
        if (!live_.empty())
          QueryStatus(live_[std::uniform_int_distribution<size_t>(0, live_.size() - 1)(random)].handle, buffer);
      }
      Sleep(kDisturbPauseMs);
    }
  }

  // Asks for the size the service would allocate, then for the status in a
  // block of that size. Both must succeed while the job's send runs.
  void QueryStatus(HANDLE job, std::vector<BYTE>& buffer) {
    DWORD required = 0;
    const bool sized = host_.FaxDevReportStatus(job, nullptr, 0, &required) && required >= sizeof(FAX_DEV_STATUS) &&
                       required <= buffer.size();
    auto* status = reinterpret_cast<FAX_DEV_STATUS*>(buffer.data());
    if (!sized || !host_.FaxDevReportStatus(job, status, required, &required) || status->SizeOfStruct != required)
      ++statusFaults_;
  }

  // Reads the port as the service does, freeing each block as it comes.
  void CollectPackets() {
    for (;;) {
      const bool last = stopCollecting_;
      for (const StatusPacket& packet : host_.TakePackets(kCollectWaitMs)) packets_[packet.key].push_back(packet);
      if (last) return;
    }
  }

  void PrintJob(size_t index) const {
    const JobRecord& record = records_[index];
    const auto found = packets_.find(index + 1);
    const std::vector<StatusPacket> none;
    const std::vector<StatusPacket>& packets = found != packets_.end() ? found->second : none;
    bool sizesMatch = true;
    for (const StatusPacket& packet : packets) sizesMatch = sizesMatch && packet.bytes == packet.sizeOfStruct;
    const StatusPacket first = packets.empty() ? StatusPacket{} : packets.front();
    const StatusPacket final = packets.empty() ? StatusPacket{} : packets.back();
    std::printf(
        "job key=%zu started=%d result=%d lasterror=0x%08lX abort=%d packets=%zu first=0x%08lX final=0x%08lX "
        "error=0x%08lX pages=%lu sizes=%d start_ms=%.1f end_ms=%.1f number=%s\n",
        index + 1, record.started, record.result, record.lastError, record.abortRequested, packets.size(),
        first.statusId, final.statusId, final.errorCode, final.pageCount, sizesMatch, record.startMs, record.endMs,
        ToAnsi(options_.jobs[index].number).c_str());
  }

  ProviderHost& host_;
  const BatchOptions& options_;
  std::vector<JobRecord> records_;
  std::atomic<size_t> next_{0};
  std::mutex liveLock_;
  std::vector<LiveJob> live_;
  std::mt19937 random_;  // guarded by liveLock_
  std::atomic<bool> stopDisturbing_{false};
  std::atomic<unsigned> statusFaults_{0};  // live jobs whose status could not be read
  std::atomic<bool> stopCollecting_{false};
  std::map<ULONG_PTR, std::vector<StatusPacket>> packets_;  // the collector's alone until it is joined
  double origin_ = 0;
  double wallMs_ = 0;
};

void PrintEvents() {
  unsigned errors = 0, warnings = 0, others = 0;
  for (const CapturedEvent& event : Events()) {
    if (event.type == EVENTLOG_ERROR_TYPE) {
      std::string text = event.strings.empty() ? std::string() : event.strings.front();
      for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
      std::printf("error event: %s\n", text.c_str());
    }
    if (event.type == EVENTLOG_ERROR_TYPE)
      ++errors;
    else if (event.type == EVENTLOG_WARNING_TYPE)
      ++warnings;
    else
      ++others;
  }
  std::printf("events error=%u warning=%u other=%u\n", errors, warnings, others);
}

void PrintLeftovers(const std::set<std::string>& before) {
  std::string left;
  unsigned count = 0;
  for (const std::string& name : JobTempFiles())
    if (!before.count(name)) {
      left += " " + name;
      ++count;
    }
  std::printf("tempfiles left=%u%s\n", count, left.c_str());
  const std::vector<std::string> faults = HeapFaults();
  std::printf("heap live=%zu faults=%zu\n", LiveProviderBlocks(), faults.size());
  for (const std::string& fault : faults) std::printf("heap fault: %s\n", fault.c_str());
}

void PrintPeakMemory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
    std::printf("peak_working_set_kib=%zu\n", static_cast<size_t>(counters.PeakWorkingSetSize / 1024));
}

}  // namespace

bool ReadJobPlan(const std::wstring& path, std::vector<PlannedJob>& jobs) {
  std::ifstream in(ToAnsi(path));
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    jobs.push_back({ToWide(line.substr(0, tab)), ToWide(line.substr(tab + 1))});
  }
  return true;
}

int RunBatch(ProviderHost& host, const BatchOptions& options) {
  const std::vector<std::string> found = JobTempFiles();
  const std::set<std::string> before(found.begin(), found.end());
  Batch batch(host, options);
  batch.Run();
  host.FaxDevShutdown();
  batch.Print();
  PrintEvents();
  PrintLeftovers(before);
  PrintPeakMemory();
  return 0;
}

}  // namespace corvisk::testbed
