#pragma once
// One instance per logon session. The running instance owns a named event
// and a thread that waits on it; a second start of the program, or the
// control panel applet, pulses the event, and the waiter brings the running
// sheet (or the message box on top of it) to the front.
#include <windows.h>

#include <functional>
#include <memory>

#include "win32/Handles.h"

namespace corvisk {

// Owns the event and the waiter thread from construction to destruction.
// Either may be missing when the system refused it: the program then simply
// runs without single-instance protection or without bring-to-front.
class InstanceWaiter {
 public:
  explicit InstanceWaiter(std::function<HWND()> mainWindow);
  InstanceWaiter(const InstanceWaiter&) = delete;
  InstanceWaiter& operator=(const InstanceWaiter&) = delete;
  // Tells the waiter to end and gives it a while to finish what it is doing,
  // answering the window calls it makes to this thread meanwhile.
  ~InstanceWaiter();

 private:
  // What the waiter uses: it holds its own share, so that whatever it is
  // doing when the program ends never reaches freed memory.
  struct Shared {
    std::function<HWND()> mainWindow;
    unique_handle event;
    unique_handle quit;
  };

  static DWORD WINAPI Wait(void* shared);

  std::shared_ptr<Shared> shared_;
  unique_handle thread_;
};

// TRUE when the window, or the popup last active over it, is in the foreground.
BOOL BringWindowToFront(HWND hwnd);

}  // namespace corvisk
