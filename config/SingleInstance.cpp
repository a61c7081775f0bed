#include "config/SingleInstance.h"

#include <utility>

#include "common/ConfigActivation.h"
#include "win32/ExceptionBoundary.h"

namespace corvisk {
namespace {

// Any process, elevated or not, may open the event: the control panel
// applet runs without elevation. Null when the descriptor cannot be built.
SECURITY_ATTRIBUTES* OpenToEveryone(SECURITY_DESCRIPTOR& descriptor, SECURITY_ATTRIBUTES& attributes) {
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE))
    return nullptr;
  attributes = SECURITY_ATTRIBUTES{sizeof attributes, &descriptor, FALSE};
  return &attributes;
}

bool IsForeground(HWND hwnd) { return GetForegroundWindow() == hwnd; }

bool ForceToFront(HWND hwnd) {
  BringWindowToTop(hwnd);
  SetForegroundWindow(hwnd);
  return IsForeground(hwnd);
}

// Joins the input of the foreground window's thread, which lets this thread
// take the foreground; false when the threads cannot be attached.
bool ToFrontThroughForegroundThread(HWND hwnd, bool& inFront) {
  const DWORD ours = GetWindowThreadProcessId(hwnd, nullptr);
  const DWORD theirs = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  if (!AttachThreadInput(ours, theirs, TRUE)) return false;
  BringWindowToTop(hwnd);
  SetForegroundWindow(hwnd);
  AttachThreadInput(ours, theirs, FALSE);
  inFront = IsForeground(hwnd);
  return true;
}

// The system refuses the foreground for a while after user input elsewhere;
// with the lock time-out at zero it does not.
bool ToFrontWithoutForegroundLock(HWND hwnd) {
  DWORD timeout = 0;
  SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
  SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_UPDATEINIFILE);
  BringWindowToTop(hwnd);
  SetForegroundWindow(hwnd);
  SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<ULONG_PTR>(timeout)),
                        SPIF_UPDATEINIFILE);
  return IsForeground(hwnd);
}

}  // namespace

InstanceWaiter::InstanceWaiter(std::function<HWND()> mainWindow) : mainWindow_(std::move(mainWindow)) {
  SECURITY_DESCRIPTOR descriptor;
  SECURITY_ATTRIBUTES attributes;
  event_.reset(CreateEventA(OpenToEveryone(descriptor, attributes), TRUE, FALSE, kConfigActivationEvent));
  if (!event_) return;
  quit_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (quit_) thread_.reset(CreateThread(nullptr, 0, Wait, this, 0, nullptr));
}

// The sheet is gone by now, so whatever window call the waiter is in returns
// at once; the bound only keeps a wedged system call from holding up the exit.
InstanceWaiter::~InstanceWaiter() {
  constexpr DWORD kWaiterEndMs = 5000;
  if (!thread_) return;
  SetEvent(quit_.get());
  WaitForSingleObject(thread_.get(), kWaiterEndMs);
}

// Each pulse wakes the waiter once; the quit event ends it.
DWORD WINAPI InstanceWaiter::Wait(void* self) {
  return ReturnOnException(static_cast<DWORD>(1), [self] {
    auto& waiter = *static_cast<InstanceWaiter*>(self);
    const HANDLE events[] = {waiter.quit_.get(), waiter.event_.get()};
    while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
      if (const HWND window = waiter.mainWindow_()) BringWindowToFront(window);
    }
    return static_cast<DWORD>(0);
  });
}

BOOL BringWindowToFront(HWND hwnd) {
  hwnd = GetLastActivePopup(hwnd);
  if (IsIconic(hwnd)) ShowWindow(hwnd, SW_RESTORE);
  if (IsForeground(hwnd) || ForceToFront(hwnd)) return TRUE;
  bool inFront = false;
  if (ToFrontThroughForegroundThread(hwnd, inFront)) return inFront;
  return ToFrontWithoutForegroundLock(hwnd);
}

}  // namespace corvisk
