#pragma once
#include <windows.h>

namespace corvisk {

// Shows the wait cursor while a long step blocks the user interface thread,
// and puts the previous cursor back when the step ends, on every path.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

}  // namespace corvisk
