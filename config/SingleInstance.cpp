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

InstanceWaiter::InstanceWaiter(std::function<HWND()> mainWindow) : shared_(std::make_shared<Shared>()) {
  shared_->mainWindow = std::move(mainWindow);
  SECURITY_DESCRIPTOR descriptor;
  SECURITY_ATTRIBUTES attributes;
  shared_->event.reset(CreateEventA(OpenToEveryone(descriptor, attributes), TRUE, FALSE, kConfigActivationEvent));
  if (!shared_->event) return;
  shared_->quit.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!shared_->quit) return;
  auto share = std::make_unique<std::shared_ptr<Shared>>(shared_);
  thread_.reset(CreateThread(nullptr, 0, Wait, share.get(), 0, nullptr));
  if (thread_) static_cast<void>(share.release());
}

// The waiter may be inside a window call to this thread (bringing the sheet
// forward), which returns only when this thread answers it: sent messages
// are answered while waiting. The bound keeps a wedged system call from
// holding up the exit; the waiter's own share keeps what it uses alive.
InstanceWaiter::~InstanceWaiter() {
  constexpr DWORD kWaiterEndMs = 5000;
  if (!thread_) return;
  SetEvent(shared_->quit.get());
  const DWORD deadline = GetTickCount() + kWaiterEndMs;
  for (;;) {
    const DWORD left = deadline - GetTickCount();
    if (static_cast<LONG>(left) <= 0) return;
    const HANDLE thread = thread_.get();
    if (MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE) != WAIT_OBJECT_0 + 1) return;
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

// Each pulse wakes the waiter once; the quit event ends it.
DWORD WINAPI InstanceWaiter::Wait(void* share) {
  const std::unique_ptr<std::shared_ptr<Shared>> owned(static_cast<std::shared_ptr<Shared>*>(share));
  return ReturnOnException(static_cast<DWORD>(1), [&] {
    const Shared& shared = **owned;
    const HANDLE events[] = {shared.quit.get(), shared.event.get()};
    while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
      if (const HWND window = shared.mainWindow()) BringWindowToFront(window);
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
