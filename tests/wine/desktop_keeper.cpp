// Keeps the prefix's desktop process alive on the window tests' X server for
// a whole run. Wine closes the desktop a second after its last other user
// exits; the desktop, started by a program under test, holds that program's
// output pipe until then, so ctest would wait a second after every window
// test and start a new desktop for the next. A hidden window makes this
// program a user of the desktop until the fixture ends it; "ready" on the
// standard output says the desktop is up.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (!CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr)) return 1;
  std::puts("ready");
  std::fflush(stdout);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
