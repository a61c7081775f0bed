#include "Screenshot.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "ChildProcess.h"

namespace corvisk::test {
namespace {

// Wine does not wait for a Linux program it started: the picture is done
// when its file has stopped growing.
bool WaitForFinishedFile(const std::wstring& path) {
  LONGLONG last = -1;
  for (int i = 0; i < 200; ++i, Sleep(100)) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) continue;
    const LONGLONG size = (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (size > 0 && size == last) return true;
    last = size;
  }
  return false;
}

}  // namespace

std::wstring ScreenshotFolder() {
  const char* display = std::getenv("CORVISK_DISPLAY_FILE");
  if (!display) return std::wstring();
  const std::string file = display;
  const std::string folder = file.substr(0, file.find_last_of('/')) + "/screenshots";
  const std::wstring wide(folder.begin(), folder.end());
  CreateDirectoryW((L"Z:" + wide).c_str(), nullptr);
  return wide;
}

// ImageMagick's import, a Linux program that Wine starts as it is.
void TakePicture(HWND window, const std::wstring& name) {
  RECT frame{};
  GetWindowRect(window, &frame);
  TakePicture(frame, name);
}

void TakePicture(const RECT& frame, const std::wstring& name) {
  const std::wstring file = ScreenshotFolder() + L"/" + name;
  wchar_t geometry[64];
  swprintf(geometry, 64, L"%ldx%ld+%ld+%ld", frame.right - frame.left, frame.bottom - frame.top, frame.left, frame.top);
  const std::wstring line = L"Z:\\usr\\bin\\import -window root -crop " + std::wstring(geometry) + L" " + file;
  DeleteFileW((L"Z:" + file).c_str());
  const ChildResult result = RunChild(line);
  EXPECT_EQ(result.exitCode, 0u) << result.output;
  EXPECT_TRUE(WaitForFinishedFile(L"Z:" + file)) << "no picture";
}

}  // namespace corvisk::test
