// The two buttons that open something outside the program: HomePage through
// the system's handler of web addresses (Wine's winebrowser, which runs a
// browser the test names), and View Log File in Notepad.
#include <cstring>
#include <optional>
#include <string>

#include "ConfigFixture.h"
#include "GatewayMailbox.h"
#include "common/Product.h"
#include "joblog/JobLogPath.h"
#include "settings/BuiltInConstants.h"
#include "win32/Handles.h"

namespace corvisk::test {
namespace {

constexpr int kMiscellaneousPage = 3;
constexpr wchar_t kBrowserKey[] = L"Software\\Wine\\WineBrowser";

// Wine's winebrowser tries the browsers of this list in turn.
class BrowserChoice {
 public:
  explicit BrowserChoice(const char* browser) {
    RegCreateKeyExW(HKEY_CURRENT_USER, kBrowserKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key_.put(),
                    nullptr);
    char old[1024] = "";
    DWORD size = sizeof old;
    if (RegQueryValueExA(key_.get(), "Browsers", nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) ==
        ERROR_SUCCESS)
      old_ = old;
    RegSetValueExA(key_.get(), "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(browser),
                   static_cast<DWORD>(strlen(browser) + 1));
  }
  BrowserChoice(const BrowserChoice&) = delete;
  BrowserChoice& operator=(const BrowserChoice&) = delete;
  ~BrowserChoice() {
    if (old_)
      RegSetValueExA(key_.get(), "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(old_->c_str()),
                     static_cast<DWORD>(old_->size() + 1));
    else
      RegDeleteValueA(key_.get(), "Browsers");
  }

 private:
  unique_hkey key_;
  std::optional<std::string> old_;
};

std::string WaitForFileText(const std::wstring& path) {
  for (int i = 0; i < 150; ++i, Sleep(100)) {
    const std::string text = ReadWholeFile(path);
    if (!text.empty()) return text;
  }
  return std::string();
}

struct TitleQuery {
  const std::string& start;
  HWND found;
};

BOOL CALLBACK MatchTitleStart(HWND window, LPARAM context) {
  auto& query = *reinterpret_cast<TitleQuery*>(context);
  char title[512] = "";
  GetWindowTextA(window, title, sizeof title);
  if (!IsWindowVisible(window) || std::string(title).rfind(query.start, 0) != 0) return TRUE;
  query.found = window;
  return FALSE;
}

// A visible top-level window whose title starts with that text.
HWND WaitForWindowTitled(const std::string& start) {
  TitleQuery query{start, nullptr};
  for (int i = 0; i < 150 && !query.found; ++i, Sleep(100))
    EnumWindows(MatchTitleStart, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

using ConfigLaunchTest = ConfigProgramTest;

TEST_F(ConfigLaunchTest, HomePageOpensTheVendorsAddressInTheBrowser) {
  const std::wstring record = WinePath(CORVISK_OPENED_URL_FILE);
  DeleteFileW(record.c_str());
  const BrowserChoice browser(CORVISK_RECORD_URL_PROGRAM);
  ConfigProgram program;
  program.Click(IDC_HOME_PAGE);
  EXPECT_EQ(WaitForFileText(record), std::string(kVendorHomePage) + "\n");
  EXPECT_TRUE(program.NoMessageBox(500));
  DeleteFileW(record.c_str());
}

TEST_F(ConfigLaunchTest, ViewLogFileOpensTheProvidersLogInNotepad) {
  const std::string log = JobLogPath();
  // An empty log of the test's own where the provider has written none;
  // closed at once, so that Notepad can read it and the test delete it.
  const bool created = unique_hfile(CreateFileA(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                FILE_ATTRIBUTE_NORMAL, nullptr))
                           .get() != INVALID_HANDLE_VALUE;
  ConfigProgram program;
  program.SelectPage(kMiscellaneousPage);
  program.Click(IDC_VIEW_LOG);
  const HWND notepad = WaitForWindowTitled(std::string(kLogFileStem) + ".log - ");
  EXPECT_NE(notepad, nullptr) << "Notepad did not open " << log;
  if (notepad) PostMessageA(notepad, WM_CLOSE, 0, 0);
  if (created) DeleteFileA(log.c_str());
}

}  // namespace
}  // namespace corvisk::test
