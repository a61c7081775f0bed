#pragma once
// Message boxes of the program under test, read and answered as a user
// would: a watcher thread finds each top-level dialog with the caption,
// reads its text from the static control 0xFFFF, its icon and buttons, and
// presses one button. It sees boxes of any process on the desktop, so it
// serves tests that call a routine in their own process and tests that
// drive another program.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvisk::test {

struct ShownMessageBox {
  std::string text;
  HWND owner = nullptr;
  bool errorIcon = false;     // MB_ICONERROR
  bool questionIcon = false;  // MB_ICONQUESTION
  bool hasCancel = false;     // MB_OKCANCEL rather than MB_OK
};

class MessageBoxAnswerer {
 public:
  // Watches from now until destroyed; answers every box with button.
  explicit MessageBoxAnswerer(std::string caption, int button = IDOK);
  ~MessageBoxAnswerer();
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

  // The boxes answered so far, in the order they appeared.
  std::vector<ShownMessageBox> Shown() const;
  // Waits up to timeoutMs until count boxes have been answered.
  bool WaitForCount(size_t count, DWORD timeoutMs) const;

 private:
  void Watch();
  void Answer(HWND box);

  std::string caption_;
  int button_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<ShownMessageBox> shown_;
  std::thread watcher_;
};

}  // namespace corvisk::test
