// The FaxDev entry points the fax service calls, and DllMain. Each export
// checks nothing itself beyond what the job registry does; whatever is thrown
// inside is turned into the export's failure at this boundary. The bodies
// return their error code as a value; the boundary sets the last error.
#include <memory>
#include <utility>

#include "common/Product.h"
#include "platform/FaxDev.h"
#include "provider/Diagnostics.h"
#include "provider/EntryTrace.h"
#include "provider/FaxProvider.h"
#include "provider/T37ClientFaxItem.h"
#include "win32/ExceptionBoundary.h"

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

// Ends a traced send, receive or shutdown with its result.
BoolResult EndTracedRun(const EntryTrace& trace, BoolResult result) {
  trace.End(result.error);
  return result;
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
  return ReturnWithLastError("\r\nCorviskFSP - exception - FaxDevInitialize\r\n", [&]() -> DWORD {
    OutputDebugStringA("\r\nCorviskFSP - FaxDevInitialize\n");
    *lineCallback = IgnoreLineEvent;
    SetProviderHeap(heap);
    g_provider = new CFaxProvider;
    OutputDebugStringA("\r\nCorviskFSP - exit - FaxDevInitialize\r\n");
    return 0;
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
  SetLastError(0);
  return TRUE;
}

// Creates a job; its address is the handle the service holds from now on.
extern "C" BOOL WINAPI FaxDevStartJob(HLINE /*line*/, DWORD deviceId, PHANDLE jobHandle, HANDLE completionPort,
                                      ULONG_PTR completionKey) {
  return ReturnWithLastError("\r\nCorviskFSP - exception - FaxDevStartJob\r\n", [&] {
    std::unique_ptr<CT37ClientFaxItem> job(new CT37ClientFaxItem(completionPort, completionKey, deviceId));
    if (!job) return kOutOfMemory;
    *jobHandle = job.get();
    if (!RequireProvider().AddJob(job.get())) return kUnexpected;
    static_cast<void>(job.release());  // the job set owns it now
    return DWORD{0};
  });
}

// Removes the job and destroys it; an unknown handle is left alone.
extern "C" BOOL WINAPI FaxDevEndJob(HANDLE jobHandle) {
  return ReturnWithLastError("\r\nCorviskFSP - exception - FaxDevEndJob\r\n", [&] {
    if (!RequireProvider().RemoveJob(jobHandle)) return kUnexpected;
    delete static_cast<CClientFaxItem*>(jobHandle);
    return DWORD{0};
  });
}

// Runs the whole send on the calling thread; returns when the job has
// finished, failed or been aborted, with the job's error as last error.
extern "C" BOOL WINAPI FaxDevSend(HANDLE jobHandle, PFAX_SEND send, PFAX_SEND_CALLBACK /*sendCallback*/) {
  return ReturnWithLastError("\r\nCorviskFSP - exception - FaxDevSend\r\n", [&] {
    EntryTrace trace("FaxDevSend");
    return EndTracedRun(trace, RequireProvider().SendJob(jobHandle, send));
  });
}

// Receiving is refused: the job records E_UNEXPECTED.
extern "C" BOOL WINAPI FaxDevReceive(HANDLE jobHandle, HCALL /*call*/, PFAX_RECEIVE receive) {
  return ReturnWithLastError("\r\nCorviskFSP - exception - FaxDevReceive\r\n", [&] {
    EntryTrace trace("FaxDevReceive");
    return EndTracedRun(trace, RequireProvider().ReceiveJob(jobHandle, receive));
  });
}

// Answers from the job's recorded status; no device-level status exists.
extern "C" BOOL WINAPI FaxDevReportStatus(HANDLE jobHandle, PFAX_DEV_STATUS status, DWORD statusSize,
                                          LPDWORD statusSizeRequired) {
  return ReturnWithLastError(nullptr, [&] {
    return RequireProvider().ReportJobStatus(jobHandle, status, statusSize, statusSizeRequired) ? 0 : kUnexpected;
  });
}

// Flags the job as aborted; a running send notices at its next checkpoint.
extern "C" BOOL WINAPI FaxDevAbortOperation(HANDLE jobHandle) {
  return ReturnWithLastError(nullptr, [&] { return RequireProvider().AbortJob(jobHandle) ? 0 : kUnexpected; });
}

// Waits until the last job has been ended, then destroys the provider.
extern "C" HRESULT WINAPI FaxDevShutdown() {
  if (!g_provider) {
    OutputDebugStringA("\r\nCorviskFSP - FaxDevShutdown() without FaxDevInitialize()\r\n");
    return S_OK;
  }
  const BOOL succeeded = ReturnWithLastError("\r\nCorviskFSP - exception - FaxDevShutdown\r\n", [&] {
    EntryTrace trace("FaxDevShutdown");
    g_provider->WaitForNoJobs();
    delete std::exchange(g_provider, nullptr);
    return EndTracedRun(trace, BoolResult{TRUE, 0});
  });
  return succeeded ? S_OK : E_FAIL;
}
