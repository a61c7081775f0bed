#include "HostCapture.h"

#include <shlobj.h>

#include <mutex>
#include <set>

#include "ImportPatch.h"
#include "win32/AnsiText.h"

namespace corvisk::testbed {
namespace {

struct CaptureState {
  std::mutex lock;
  std::vector<std::string> debugWrites;
  std::vector<CapturedEvent> events;
  std::vector<std::string> sources;  // index + 1 is the fake event-source handle
  unsigned versionQueries = 0;
  bool simulating = false;
  bool commonAppDataHidden = false;
  SimulatedPlatform platform;
  HANDLE serviceHeap = nullptr;
  bool tempNamesFromOne = false;
  HANDLE creationEntered = nullptr;
  HANDLE creationRelease = nullptr;
  std::set<void*> liveBlocks;
  std::vector<std::string> heapFaults;
};

CaptureState& State() {
  static CaptureState state;
  return state;
}

void RecordDebugWrite(std::string text) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().debugWrites.push_back(std::move(text));
}

// With CORVISK_DEBUG_OUTPUT=pass the debug output also takes its normal way,
// as where no debugger is attached: the platform then looks for a debug
// monitor itself, which may change the last error.
bool PassDebugOutputOn() {
  char value[8] = "";
  const DWORD length = GetEnvironmentVariableA("CORVISK_DEBUG_OUTPUT", value, sizeof value);
  return length > 0 && length < sizeof value && lstrcmpA(value, "pass") == 0;
}

// Debug output arrives as an exception that a debugger would consume; the
// handler consumes it the same way, so the platform does not repeat it.
LONG CALLBACK OnDebugOutput(EXCEPTION_POINTERS* info) {
  static const bool passOn = PassDebugOutputOn();
  const EXCEPTION_RECORD& record = *info->ExceptionRecord;
  if (record.NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
  const ULONG_PTR length = record.ExceptionInformation[0];
  if (record.ExceptionCode == DBG_PRINTEXCEPTION_C) {
    const auto* text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
    RecordDebugWrite(std::string(text, length ? length - 1 : 0));
    return passOn ? EXCEPTION_CONTINUE_SEARCH : EXCEPTION_CONTINUE_EXECUTION;
  }
  // Passed on, wide output comes back as narrow output and is recorded then.
  if (record.ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C && passOn) return EXCEPTION_CONTINUE_SEARCH;
  if (record.ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C) {
    const auto* text = reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]);
    RecordDebugWrite(ToAnsi(text, static_cast<int>(length ? length - 1 : 0)));
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

HANDLE WINAPI FakeRegisterEventSourceA(LPCSTR server, LPCSTR source) {
  std::lock_guard<std::mutex> guard(State().lock);
  if (server) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  State().sources.push_back(source ? source : "");
  return reinterpret_cast<HANDLE>(State().sources.size());
}

BOOL WINAPI FakeDeregisterEventSource(HANDLE source) {
  std::lock_guard<std::mutex> guard(State().lock);
  return reinterpret_cast<size_t>(source) - 1 < State().sources.size();
}

BOOL WINAPI FakeReportEventA(HANDLE source, WORD type, WORD category, DWORD id, PSID user, WORD count, DWORD dataSize,
                             LPCSTR* strings, LPVOID /*data*/) {
  std::lock_guard<std::mutex> guard(State().lock);
  const size_t index = reinterpret_cast<size_t>(source) - 1;
  if (index >= State().sources.size()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  CapturedEvent event{State().sources[index], type, category, id, user != nullptr, dataSize, {}};
  for (WORD i = 0; i < count; ++i) event.strings.push_back(strings[i] ? strings[i] : "");
  State().events.push_back(std::move(event));
  return TRUE;
}

void SetProductType(OSVERSIONINFOW* info, BYTE type) {
  if (info->dwOSVersionInfoSize >= sizeof(OSVERSIONINFOEXW))
    reinterpret_cast<OSVERSIONINFOEXW*>(info)->wProductType = type;
}

void SetProductType(OSVERSIONINFOA* info, BYTE type) {
  if (info->dwOSVersionInfoSize >= sizeof(OSVERSIONINFOEXA))
    reinterpret_cast<OSVERSIONINFOEXA*>(info)->wProductType = type;
}

template <typename Info>
BOOL AnswerVersion(Info* info, BOOL(WINAPI* real)(Info*)) {
  SimulatedPlatform platform;
  {
    std::lock_guard<std::mutex> guard(State().lock);
    ++State().versionQueries;
    if (!State().simulating) return real(info);
    platform = State().platform;
  }
  if (!real(info)) return FALSE;
  info->dwMajorVersion = platform.major;
  info->dwMinorVersion = platform.minor;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  SetProductType(info, platform.server ? VER_NT_SERVER : VER_NT_WORKSTATION);
  return TRUE;
}

BOOL WINAPI FakeGetVersionExW(OSVERSIONINFOW* info) { return AnswerVersion(info, &GetVersionExW); }
BOOL WINAPI FakeGetVersionExA(OSVERSIONINFOA* info) { return AnswerVersion(info, &GetVersionExA); }

HRESULT WINAPI FakeSHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path) {
  {
    std::lock_guard<std::mutex> guard(State().lock);
    if (State().commonAppDataHidden) return E_FAIL;
  }
  return SHGetFolderPathA(owner, folder, token, flags, path);
}

// The platform's rule for a unique temporary name, reserved by creating an
// empty file, but counting from 1 every time instead of from the clock: many
// sends drawing names at once see exactly this.
UINT WINAPI FakeGetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR name) {
  {
    std::lock_guard<std::mutex> guard(State().lock);
    if (!State().tempNamesFromOne || unique != 0) return GetTempFileNameA(folder, prefix, unique, name);
  }
  const std::string base = std::string(folder) + (*folder && folder[lstrlenA(folder) - 1] != '\\' ? "\\" : "") +
                           std::string(prefix).substr(0, 3);
  for (UINT number = 1; number <= 0xFFFF; ++number) {
    char hex[8];
    wsprintfA(hex, "%X", number);
    const std::string path = base + hex + ".tmp";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      lstrcpyA(name, path.c_str());
      return number;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return 0;
  }
  return 0;
}

BOOL WINAPI HeldCreateProcessA(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                               LPSECURITY_ATTRIBUTES threadAttributes, BOOL inherit, DWORD flags, LPVOID environment,
                               LPCSTR folder, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION process) {
  HANDLE entered = nullptr, release = nullptr;
  {
    std::lock_guard<std::mutex> guard(State().lock);
    entered = State().creationEntered;
    release = State().creationRelease;
  }
  if (entered && release) {
    SetEvent(entered);
    WaitForSingleObject(release, INFINITE);
  }
  return CreateProcessA(application, commandLine, processAttributes, threadAttributes, inherit, flags, environment,
                        folder, startup, process);
}

LPVOID WINAPI LedgerHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  void* block = HeapAlloc(heap, flags, size);
  std::lock_guard<std::mutex> guard(State().lock);
  if (block && heap == State().serviceHeap) State().liveBlocks.insert(block);
  return block;
}

BOOL WINAPI LedgerHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  {
    std::lock_guard<std::mutex> guard(State().lock);
    if (block && heap == State().serviceHeap && State().liveBlocks.erase(block) == 0)
      State().heapFaults.push_back("provider freed a block it had not allocated");
  }
  return HeapFree(heap, flags, block);
}

LPVOID WINAPI LedgerHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T size) {
  void* moved = HeapReAlloc(heap, flags, block, size);
  std::lock_guard<std::mutex> guard(State().lock);
  if (moved && heap == State().serviceHeap) {
    State().liveBlocks.erase(block);
    State().liveBlocks.insert(moved);
  }
  return moved;
}

}  // namespace

void CaptureDebugOutput() {
  static PVOID handler = AddVectoredExceptionHandler(1, OnDebugOutput);
  (void)handler;
}

void WatchProvider(HMODULE provider) {
  PatchImport(provider, "advapi32.dll", "RegisterEventSourceA", reinterpret_cast<void*>(FakeRegisterEventSourceA));
  PatchImport(provider, "advapi32.dll", "ReportEventA", reinterpret_cast<void*>(FakeReportEventA));
  PatchImport(provider, "advapi32.dll", "DeregisterEventSource", reinterpret_cast<void*>(FakeDeregisterEventSource));
  PatchImport(provider, "kernel32.dll", "GetVersionExW", reinterpret_cast<void*>(FakeGetVersionExW));
  PatchImport(provider, "kernel32.dll", "GetVersionExA", reinterpret_cast<void*>(FakeGetVersionExA));
  PatchImport(provider, "shell32.dll", "SHGetFolderPathA", reinterpret_cast<void*>(FakeSHGetFolderPathA));
  PatchImport(provider, "kernel32.dll", "CreateProcessA", reinterpret_cast<void*>(HeldCreateProcessA));
  PatchImport(provider, "kernel32.dll", "GetTempFileNameA", reinterpret_cast<void*>(FakeGetTempFileNameA));
  PatchImport(provider, "kernel32.dll", "HeapAlloc", reinterpret_cast<void*>(LedgerHeapAlloc));
  PatchImport(provider, "kernel32.dll", "HeapFree", reinterpret_cast<void*>(LedgerHeapFree));
  PatchImport(provider, "kernel32.dll", "HeapReAlloc", reinterpret_cast<void*>(LedgerHeapReAlloc));
}

void SimulatePlatform(const SimulatedPlatform& platform) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().simulating = true;
  State().platform = platform;
}

void StopSimulatingPlatform() {
  std::lock_guard<std::mutex> guard(State().lock);
  State().simulating = false;
}

void HideCommonAppData(bool hidden) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().commonAppDataHidden = hidden;
}

void DrawTempNamesFromOne(bool fromOne) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().tempNamesFromOne = fromOne;
}

void HoldProcessCreation(HANDLE entered, HANDLE release) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().creationEntered = entered;
  State().creationRelease = release;
}

void WatchServiceHeap(HANDLE heap) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().serviceHeap = heap;
  State().liveBlocks.clear();
}

std::vector<std::string> DebugWrites() {
  std::lock_guard<std::mutex> guard(State().lock);
  return State().debugWrites;
}

std::string DebugText() {
  std::string text;
  for (const std::string& write : DebugWrites()) text += write;
  return text;
}

std::vector<CapturedEvent> Events() {
  std::lock_guard<std::mutex> guard(State().lock);
  return State().events;
}

unsigned VersionQueries() {
  std::lock_guard<std::mutex> guard(State().lock);
  return State().versionQueries;
}

void ClearCapture() {
  std::lock_guard<std::mutex> guard(State().lock);
  State().debugWrites.clear();
  State().events.clear();
  State().versionQueries = 0;
  State().heapFaults.clear();
}

size_t LiveProviderBlocks() {
  std::lock_guard<std::mutex> guard(State().lock);
  return State().liveBlocks.size();
}

void ReleaseServiceBlock(void* block) {
  HANDLE heap = nullptr;
  {
    std::lock_guard<std::mutex> guard(State().lock);
    heap = State().serviceHeap;
    if (State().liveBlocks.erase(block) == 0)
      State().heapFaults.push_back("posted block did not come from the service heap");
  }
  if (!HeapFree(heap, 0, block)) {
    std::lock_guard<std::mutex> guard(State().lock);
    State().heapFaults.push_back("posted block could not be freed from the service heap");
  }
}

std::vector<std::string> HeapFaults() {
  std::lock_guard<std::mutex> guard(State().lock);
  return State().heapFaults;
}

}  // namespace corvisk::testbed
