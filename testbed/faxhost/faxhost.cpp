// faxhost: drives a fax service provider through one send, or through a
// plan of many sends at once, as the fax service would, and prints what it saw.
//   faxhost.exe [--provider PATH] [--os MAJOR.MINOR[-server]]
//               send --tiff FILE --number NUMBER [--abort-after MS]
//   faxhost.exe [--provider PATH] [--os MAJOR.MINOR[-server]]
//               batch --plan FILE [--concurrency N] [--abort-percent P]
//               [--max-abort-delay MS] [--status-threads N] [--seed N]
//               [--warm-up N]
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

#include "BatchRun.h"
#include "HostCapture.h"
#include "ProviderHost.h"
#include "win32/AnsiText.h"

using namespace corvisk;
using namespace corvisk::testbed;

namespace {

struct Options {
  std::wstring provider;
  bool simulate = false;
  SimulatedPlatform platform;
  std::wstring tiff;
  std::wstring number;
  long abortAfterMs = -1;
  std::wstring plan;
  BatchOptions batch;
};

int Usage() {
  std::fputs(
      "usage: faxhost.exe [--provider PATH] [--os MAJOR.MINOR[-server]] "
      "send --tiff FILE --number NUMBER [--abort-after MS]\n"
      "       faxhost.exe [--provider PATH] [--os MAJOR.MINOR[-server]] batch --plan FILE [--concurrency N]\n"
      "                   [--abort-percent P] [--max-abort-delay MS] [--status-threads N] [--seed N]\n"
      "                   [--warm-up N]\n",
      stderr);
  return 2;
}

std::wstring DefaultProvider() {
  wchar_t path[MAX_PATH] = L"";
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"CorviskFSP.dll";
}

bool ParsePlatform(const wchar_t* text, SimulatedPlatform& platform) {
  unsigned major = 0, minor = 0;
  wchar_t suffix[16] = L"";
  const int fields = std::swscanf(text, L"%u.%u%15ls", &major, &minor, suffix);
  if (fields < 2 || (fields == 3 && std::wcscmp(suffix, L"-server") != 0)) return false;
  platform = {major, minor, fields == 3};
  return true;
}

unsigned Count(const wchar_t* text) { return static_cast<unsigned>(std::wcstoul(text, nullptr, 10)); }

// Which of the two commands the options name.
enum class Command { None, Send, Batch };

bool ParseOptions(int argc, wchar_t** argv, Options& options, Command& command) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == L"send")
      command = Command::Send;
    else if (arg == L"batch")
      command = Command::Batch;
    else if (arg == L"--plan" && hasValue)
      options.plan = argv[++i];
    else if (arg == L"--concurrency" && hasValue)
      options.batch.concurrency = Count(argv[++i]);
    else if (arg == L"--abort-percent" && hasValue)
      options.batch.abortPercent = Count(argv[++i]);
    else if (arg == L"--max-abort-delay" && hasValue)
      options.batch.maxAbortDelayMs = Count(argv[++i]);
    else if (arg == L"--status-threads" && hasValue)
      options.batch.statusThreads = Count(argv[++i]);
    else if (arg == L"--seed" && hasValue)
      options.batch.seed = Count(argv[++i]);
    else if (arg == L"--warm-up" && hasValue)
      options.batch.warmUpJobs = Count(argv[++i]);
    else if (arg == L"--provider" && hasValue)
      options.provider = argv[++i];
    else if (arg == L"--os" && hasValue)
      options.simulate = ParsePlatform(argv[++i], options.platform);
    else if (arg == L"--tiff" && hasValue)
      options.tiff = argv[++i];
    else if (arg == L"--number" && hasValue)
      options.number = argv[++i];
    else if (arg == L"--abort-after" && hasValue)
      options.abortAfterMs = std::wcstol(argv[++i], nullptr, 10);
    else
      return false;
    if (arg == L"--os" && !options.simulate) return false;
  }
  if (options.provider.empty()) options.provider = DefaultProvider();
  if (command == Command::Batch)
    return options.batch.concurrency > 0 && ReadJobPlan(options.plan, options.batch.jobs);
  return command == Command::Send && !options.tiff.empty() && !options.number.empty();
}

void PrintTranscript(const std::vector<StatusPacket>& packets, BOOL result, DWORD lastError) {
  for (const StatusPacket& packet : packets)
    std::printf("packet status=0x%08lX error=0x%08lX pages=%lu bytes=%lu\n", packet.statusId, packet.errorCode,
                packet.pageCount, packet.bytes);
  std::printf("result=%d lasterror=0x%08lX\n", result, lastError);
  for (const CapturedEvent& event : Events())
    std::printf("event type=%u id=%lu text=%s\n", event.type, event.id,
                event.strings.empty() ? "" : event.strings.front().c_str());
  std::fputs(DebugText().c_str(), stdout);
}

int RunSend(ProviderHost& host, const Options& options) {
  HANDLE job = nullptr;
  if (!host.FaxDevStartJob(0, kServiceDeviceId, &job, host.Port(), host.JobKey())) {
    std::fprintf(stderr, "faxhost: FaxDevStartJob failed, last error 0x%08lX\n", GetLastError());
    return 1;
  }
  std::wstring tiff = options.tiff, number = options.number, empty;
  FAX_SEND send{};
  send.SizeOfStruct = sizeof send;
  send.FileName = tiff.data();
  send.CallerName = send.CallerNumber = send.ReceiverName = empty.data();
  send.ReceiverNumber = number.data();
  std::thread aborter;
  if (options.abortAfterMs >= 0)
    aborter = std::thread([&host, job, ms = options.abortAfterMs] {
      Sleep(static_cast<DWORD>(ms));
      host.FaxDevAbortOperation(job);
    });
  SetLastError(0xdeadbeef);
  const BOOL result = host.FaxDevSend(job, &send, nullptr);
  const DWORD lastError = GetLastError();
  if (aborter.joinable()) aborter.join();
  const std::vector<StatusPacket> packets = host.TakePackets();
  host.FaxDevEndJob(job);
  host.FaxDevShutdown();
  PrintTranscript(packets, result, lastError);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The captured texts carry their own line breaks; print them byte for byte.
  _setmode(_fileno(stdout), _O_BINARY);
  Options options;
  Command command = Command::None;
  if (!ParseOptions(argc, argv, options, command)) return Usage();
  CaptureDebugOutput();
  ProviderHost host(options.provider);
  if (!host.Loaded()) {
    std::fprintf(stderr, "faxhost: cannot load %s (error %lu)\n", ToAnsi(options.provider).c_str(), GetLastError());
    return 2;
  }
  if (options.simulate) SimulatePlatform(options.platform);
  if (!host.Start()) {
    std::fprintf(stderr, "faxhost: the provider did not start (error 0x%08lX)\n", GetLastError());
    return 1;
  }
  return command == Command::Batch ? RunBatch(host, options.batch) : RunSend(host, options);
}
