// Pictures of the four pages at 96 and 144 DPI, for a person to look at:
// text cut off or controls that overlap show there and nowhere else.
#include <cstdlib>
#include <cstring>
#include <string>

#include "ChildProcess.h"
#include "ConfigFixture.h"
#include "win32/Handles.h"

namespace corvisk::test {
namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kFontsKey[] = L"Software\\Fonts";

// Wine reads the display's DPI when a program starts.
void SetLogPixels(DWORD dpi) {
  for (const auto& [root, path] :
       {std::pair{HKEY_CURRENT_USER, kDesktopKey}, std::pair{HKEY_CURRENT_CONFIG, kFontsKey}}) {
    unique_hkey key;
    ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr), ERROR_SUCCESS);
    RegSetValueExW(key.get(), L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
  }
}

// A Linux path beside the X server's files; Linux programs fill it.
std::string ScreenshotFolder() {
  const char* display = std::getenv("CORVISK_DISPLAY_FILE");
  if (!display) return std::string();
  const std::string file = display;
  return file.substr(0, file.find_last_of('/')) + "/screenshots";
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

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

// ImageMagick's import, a Linux program that Wine starts as it is.
void TakePicture(HWND sheet, const std::wstring& file) {
  RECT frame{};
  GetWindowRect(sheet, &frame);
  wchar_t geometry[64];
  swprintf(geometry, 64, L"%ldx%ld+%ld+%ld", frame.right - frame.left, frame.bottom - frame.top, frame.left, frame.top);
  const std::wstring line = L"Z:\\usr\\bin\\import -window root -crop " + std::wstring(geometry) + L" " + file;
  DeleteFileW((L"Z:" + file).c_str());
  const ChildResult result = RunChild(line);
  EXPECT_EQ(result.exitCode, 0u) << result.output;
  EXPECT_TRUE(WaitForFinishedFile(L"Z:" + file)) << "no picture";
}

class ConfigScreenshots : public ConfigProgramTest, public ::testing::WithParamInterface<DWORD> {
 protected:
  void TearDown() override {
    SetLogPixels(96);
    ConfigProgramTest::TearDown();
  }
};

TEST_P(ConfigScreenshots, EveryPage) {
  const std::string folder = ScreenshotFolder();
  if (folder.empty()) GTEST_SKIP() << "CORVISK_DISPLAY_FILE names no X server";
  CreateDirectoryW((L"Z:" + Wide(folder)).c_str(), nullptr);
  SetLogPixels(GetParam());
  ConfigProgram program;
  const wchar_t* names[] = {L"main", L"mail-server", L"mail-server-advanced", L"miscellaneous"};
  for (int page = 0; page < 4; ++page) {
    program.SelectPage(page);
    Sleep(500);
    TakePicture(program.Sheet(), Wide(folder) + L"/" + names[page] + L"-" + std::to_wstring(GetParam()) + L"dpi.png");
  }
}

INSTANTIATE_TEST_SUITE_P(Dpi, ConfigScreenshots, ::testing::Values(96u, 144u));

}  // namespace
}  // namespace corvisk::test
