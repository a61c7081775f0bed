#pragma once
// Pictures of a window on the tests' X server, for a person to look at: text
// cut off or controls that overlap show there and nowhere else.
#include <windows.h>

#include <string>

namespace corvisk::test {

// The Linux folder beside the X server's files that pictures go to; empty
// when CORVISK_DISPLAY_FILE names no X server. The folder is created.
std::wstring ScreenshotFolder();
// Takes a picture of the window's frame into that folder as name (a PNG).
void TakePicture(HWND window, const std::wstring& name);
// The same of an area of the screen.
void TakePicture(const RECT& area, const std::wstring& name);

}  // namespace corvisk::test
