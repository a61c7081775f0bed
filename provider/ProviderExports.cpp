// The FaxDev entry points the fax service calls, and DllMain. Each export
// checks nothing itself beyond what the job registry does; whatever is thrown
// inside is turned into the export's failure at this boundary.
#include <memory>
#include <utility>

#include "common/Product.h"
#include "platform/FaxDev.h"
#include "provider/Diagnostics.h"
#include "provider/EntryTrace.h"
#include "provider/FaxProvider.h"
#include "provider/T37ClientFaxItem.h"

using namespace corvisk;

namespace {

constexpr DWORD kUnexpected = static_cast<DWORD>(E_UNEXPECTED);
constexpr DWORD kOutOfMemory = static_cast<DWORD>(E_OUTOFMEMORY);
constexpr DWORD kDeviceIdPrefix = 0x7700;

CFaxProvider* g_provider = nullptr;
HANDLE g_deviceCompletionPort = nullptr;
ULONG_PTR g_deviceCompletionKey = 0;

struct NoProvider {};

// The provider object, for a call that needs it; before initialization and
// after shutdown the call takes its exception path.
CFaxProvider& RequireProvider() {
  if (!g_provider) throw NoProvider();
  return *g_provider;
}

// Runs an export's body. An exception becomes `failure`; with an exception
// text, that text is written and the last error set to E_UNEXPECTED, without
// one the last error and the debugger output stay untouched.
template <typename Result, typename Body>
Result RunGuarded(const char* exceptionText, Result failure, Body&& body) {
  // Unwinding an exception may itself change the last error.
  const DWORD errorOnEntry = GetLastError();
  try {
    return body();
  } catch (...) {
    if (exceptionText) {
      OutputDebugStringA(exceptionText);
      SetLastError(kUnexpected);
    } else {
      SetLastError(errorOnEntry);
    }
    return failure;
  }
}

BOOL Succeed() {
  SetLastError(0);
  return TRUE;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// Ends a traced send or receive with the registry's result and last error.
BOOL EndTracedRun(const EntryTrace& trace, BOOL result) {
  if (result) {
    SetLastError(0);
    trace.End(0);
    return TRUE;
  }
  const DWORD error = GetLastError();
  trace.End(error);
  SetLastError(error);
  return FALSE;
}

void CALLBACK IgnoreLineEvent(HANDLE, DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) SetProviderModule(instance);
  return TRUE;
}

// Stores the service's heap and creates the provider object. Returns TRUE
// also when the object cannot be allocated: later calls then behave as if
// the provider had never been initialized.
extern "C" BOOL WINAPI FaxDevInitialize(HLINEAPP /*lineApp*/, HANDLE heap, PFAX_LINECALLBACK* lineCallback,
                                        PFAX_SERVICE_CALLBACK /*serviceCallback*/) {
  return RunGuarded("\r\nCorviskFSP - exception - FaxDevInitialize\r\n", FALSE, [&] {
    OutputDebugStringA("\r\nCorviskFSP - FaxDevInitialize\n");
    *lineCallback = IgnoreLineEvent;
    SetProviderHeap(heap);
    g_provider = new CFaxProvider;
    OutputDebugStringA("\r\nCorviskFSP - exit - FaxDevInitialize\r\n");
    return Succeed();
  });
}

// One virtual device, "CorviskFSP" with identifier prefix 0x7700; accepted in
// every state. The port and key are kept but unused: jobs post to their own.
extern "C" BOOL WINAPI FaxDevVirtualDeviceCreation(LPDWORD deviceCount, LPWSTR deviceNamePrefix, LPDWORD deviceIdPrefix,
                                                   HANDLE completionPort, ULONG_PTR completionKey) {
  OutputDebugStringA("\r\nCorviskFSP ver.");
  OutputDebugStringA(kVersionTrace);
  OutputDebugStringA("\r\n");
  OutputDebugStringA("FaxDevVirtualDeviceCreation\r\n");
  *deviceCount = 1;
  *deviceIdPrefix = kDeviceIdPrefix;
  lstrcpyW(deviceNamePrefix, L"CorviskFSP");
  g_deviceCompletionPort = completionPort;
  g_deviceCompletionKey = completionKey;
  OutputDebugStringA("\r\nCorviskFSP - exit - FaxDevVirtualDeviceCreation\n");
  return Succeed();
}

// Creates a job; its address is the handle the service holds from now on.
extern "C" BOOL WINAPI FaxDevStartJob(HLINE /*line*/, DWORD deviceId, PHANDLE jobHandle, HANDLE completionPort,
                                      ULONG_PTR completionKey) {
  return RunGuarded("\r\nCorviskFSP - exception - FaxDevStartJob\r\n", FALSE, [&] {
    std::unique_ptr<CT37ClientFaxItem> job(new CT37ClientFaxItem(completionPort, completionKey, deviceId));
    if (!job) return Fail(kOutOfMemory);
    *jobHandle = job.get();
    if (!RequireProvider().AddJob(job.get())) return Fail(kUnexpected);
    static_cast<void>(job.release());  // the job set owns it now
    return Succeed();
  });
}

// Removes the job and destroys it; an unknown handle is left alone.
extern "C" BOOL WINAPI FaxDevEndJob(HANDLE jobHandle) {
  return RunGuarded("\r\nCorviskFSP - exception - FaxDevEndJob\r\n", FALSE, [&] {
    if (!RequireProvider().RemoveJob(jobHandle)) return Fail(kUnexpected);
    delete static_cast<CClientFaxItem*>(jobHandle);
    return Succeed();
  });
}

// Runs the whole send on the calling thread; returns when the job has
// finished, failed or been aborted, with the job's error as last error.
extern "C" BOOL WINAPI FaxDevSend(HANDLE jobHandle, PFAX_SEND send, PFAX_SEND_CALLBACK /*sendCallback*/) {
  return RunGuarded("\r\nCorviskFSP - exception - FaxDevSend\r\n", FALSE, [&] {
    EntryTrace trace("FaxDevSend");
    return EndTracedRun(trace, RequireProvider().SendJob(jobHandle, send));
  });
}

// Receiving is refused: the job records E_UNEXPECTED.
extern "C" BOOL WINAPI FaxDevReceive(HANDLE jobHandle, HCALL /*call*/, PFAX_RECEIVE receive) {
  return RunGuarded("\r\nCorviskFSP - exception - FaxDevReceive\r\n", FALSE, [&] {
    EntryTrace trace("FaxDevReceive");
    return EndTracedRun(trace, RequireProvider().ReceiveJob(jobHandle, receive));
  });
}

// Answers from the job's recorded status; no device-level status exists.
extern "C" BOOL WINAPI FaxDevReportStatus(HANDLE jobHandle, PFAX_DEV_STATUS status, DWORD statusSize,
                                          LPDWORD statusSizeRequired) {
  return RunGuarded(nullptr, FALSE, [&] {
    if (!RequireProvider().ReportJobStatus(jobHandle, status, statusSize, statusSizeRequired)) return Fail(kUnexpected);
    return Succeed();
  });
}

// Flags the job as aborted; a running send notices at its next checkpoint.
extern "C" BOOL WINAPI FaxDevAbortOperation(HANDLE jobHandle) {
  return RunGuarded(nullptr, FALSE, [&] {
    if (!RequireProvider().AbortJob(jobHandle)) return Fail(kUnexpected);
    return Succeed();
  });
}

// Waits until the last job has been ended, then destroys the provider.
extern "C" HRESULT WINAPI FaxDevShutdown() {
  if (!g_provider) {
    OutputDebugStringA("\r\nCorviskFSP - FaxDevShutdown() without FaxDevInitialize()\r\n");
    return S_OK;
  }
  return RunGuarded("\r\nCorviskFSP - exception - FaxDevShutdown\r\n", E_FAIL, [&] {
    EntryTrace trace("FaxDevShutdown");
    g_provider->WaitForNoJobs();
    delete std::exchange(g_provider, nullptr);
    SetLastError(0);
    trace.End(0);
    return S_OK;
  });
}
