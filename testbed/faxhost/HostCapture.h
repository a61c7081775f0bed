#pragma once
// What a provider writes to the outside world while the host drives it: the
// debugger output (seen by a vectored exception handler), the event-log
// writes and platform-version questions (through its import table), and its
// use of the fax service's heap. Process-wide, like the channels it watches.
#include <windows.h>

#include <string>
#include <vector>

namespace corvisk::testbed {

struct CapturedEvent {
  std::string source;
  WORD type = 0;
  WORD category = 0;
  DWORD id = 0;
  bool hasUser = false;
  DWORD dataSize = 0;
  std::vector<std::string> strings;
};

struct SimulatedPlatform {
  DWORD major = 0;
  DWORD minor = 0;
  bool server = false;
};

// Starts capturing the debugger output of the whole process (idempotent).
void CaptureDebugOutput();
// Routes the provider module's event-log, version, temporary-name,
// process-creation and heap calls through the capture.
void WatchProvider(HMODULE provider);
// Makes the provider see the given platform; without a call it sees the real one.
void SimulatePlatform(const SimulatedPlatform& platform);
void StopSimulatingPlatform();
// Makes the provider's known-folder query fail, as where the all-users
// application data folder cannot be determined.
void HideCommonAppData(bool hidden);
// Makes the provider's unique temporary names count from 1 each time, as
// when many are drawn in the same instant, instead of from the clock.
void DrawTempNamesFromOne(bool fromOne);
// Makes the provider's process creations signal entered and wait for
// release before they start; null events end the hold.
void HoldProcessCreation(HANDLE entered, HANDLE release);
// The heap whose blocks the ledger follows.
void WatchServiceHeap(HANDLE heap);

std::vector<std::string> DebugWrites();
std::string DebugText();
std::vector<CapturedEvent> Events();
unsigned VersionQueries();
void ClearCapture();

// The heap ledger: blocks the provider took from the service heap and has
// not freed. The host hands back each posted block through ReleaseServiceBlock.
size_t LiveProviderBlocks();
// Frees a block the provider posted; records a fault unless it came from the
// provider's allocations on the service heap.
void ReleaseServiceBlock(void* block);
std::vector<std::string> HeapFaults();

}  // namespace corvisk::testbed
