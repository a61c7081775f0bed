// Pictures of the five pages at 96 and 144 DPI, for a person to look at:
// text cut off or controls that overlap show there and nowhere else.
#include <string>

#include "ConfigFixture.h"
#include "Screenshot.h"
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

class ConfigScreenshots : public ConfigProgramTest, public ::testing::WithParamInterface<DWORD> {
 protected:
  void TearDown() override {
    SetLogPixels(96);
    ConfigProgramTest::TearDown();
  }
};

TEST_P(ConfigScreenshots, EveryPage) {
  if (ScreenshotFolder().empty()) GTEST_SKIP() << "CORVISK_DISPLAY_FILE names no X server";
  SetLogPixels(GetParam());
  ConfigProgram program;
  const wchar_t* names[] = {L"main", L"mail-server", L"mail-server-advanced", L"miscellaneous", L"mail-transport"};
  for (int page = 0; page < 5; ++page) {
    program.SelectPage(page);
    Sleep(500);
    TakePicture(program.Sheet(), std::wstring(names[page]) + L"-" + std::to_wstring(GetParam()) + L"dpi.png");
  }
}

INSTANTIATE_TEST_SUITE_P(Dpi, ConfigScreenshots, ::testing::Values(96u, 144u));

}  // namespace
}  // namespace corvisk::test
