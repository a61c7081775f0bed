// Finds the configuration program's sheet that an installation opened, for a
// test that runs outside Wine:
//   sheet_probe find TITLE SECONDS   prints "LEFT TOP WIDTH HEIGHT" of the
//                                    visible top-level window of that title
//   sheet_probe cancel TITLE SECONDS presses the sheet's Cancel and waits for
//                                    its process to end
// Exits with 1, printing why, when the window does not appear or the process
// does not end within the wait.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kPollMs = 100;

HWND WaitForVisibleWindow(const char* title, DWORD waitMs) {
  for (DWORD waited = 0;; waited += kPollMs) {
    const HWND window = FindWindowA(nullptr, title);
    if (window && IsWindowVisible(window)) return window;
    if (waited >= waitMs) return nullptr;
    Sleep(kPollMs);
  }
}

int PrintFrame(HWND window) {
  RECT frame{};
  GetWindowRect(window, &frame);
  std::printf("%ld %ld %ld %ld\n", frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
  return 0;
}

int CancelAndWait(HWND window, DWORD waitMs) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  if (!process) {
    std::printf("cannot open the sheet's process: %lu\n", GetLastError());
    return 1;
  }
  PostMessageA(window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  const DWORD waited = WaitForSingleObject(process, waitMs);
  CloseHandle(process);
  if (waited != WAIT_OBJECT_0) {
    std::printf("the sheet's process did not end\n");
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const DWORD waitMs = static_cast<DWORD>(std::atoi(argv[3])) * 1000;
  const HWND window = WaitForVisibleWindow(argv[2], waitMs);
  if (!window) {
    std::printf("no window \"%s\" within %s s\n", argv[2], argv[3]);
    return 1;
  }
  if (std::strcmp(argv[1], "find") == 0) return PrintFrame(window);
  if (std::strcmp(argv[1], "cancel") == 0) return CancelAndWait(window, waitMs);
  return 2;
}
