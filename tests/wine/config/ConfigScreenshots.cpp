// Pictures of the five pages at 96 and 144 DPI (Mail Transport with each
// transport), of a tooltip, of the Main page of a server edition and of the sheet held by a test mail, for a
// person to look at: text cut off or controls that overlap show there and
// nowhere else.
#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>

#include "ConfigFixture.h"
#include "GatewayMailbox.h"
#include "Screenshot.h"
#include "SettingsKey.h"
#include "cloudmail/SelfSignedCertificate.h"
#include "settings/Settings.h"
#include "win32/Handles.h"

namespace corvisk::test {
namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kFontsKey[] = L"Software\\Fonts";

// A desktop of this test's own: one that the previous test's virtual desktop
// left behind for a moment must not take this test's program.
const wchar_t* DesktopName() {
  static const std::wstring name = L"CorviskFSPScreenshots" + std::to_wstring(GetCurrentProcessId());
  return name.c_str();
}

// Wine reads the display's DPI when a program starts.
void SetLogPixels(DWORD dpi) {
  for (const auto& [root, path] :
       {std::pair{HKEY_CURRENT_USER, kDesktopKey}, std::pair{HKEY_CURRENT_CONFIG, kFontsKey}}) {
    unique_hkey key;
    ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr), ERROR_SUCCESS);
    RegSetValueExW(key.get(), L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
  }
}

// Without a window manager only Wine's own virtual desktop draws the
// windows' frames, title and icon included. Its window covers the X screen
// from the top left corner, so its coordinates are the screen's. The test
// thread joins the desktop to find the program's windows there.
class VirtualDesktop {
 public:
  VirtualDesktop() {
    std::wstring line = std::wstring(L"explorer.exe /desktop=") + DesktopName() + L",1280x1024";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return;
    explorer_.reset(info.hProcess);
    CloseHandle(info.hThread);
    for (int i = 0; i < 100 && !desktop_; ++i, Sleep(100)) desktop_ = OpenDesktopW(DesktopName(), 0, FALSE, GENERIC_ALL);
    joined_ = desktop_ && SetThreadDesktop(desktop_);
  }
  VirtualDesktop(const VirtualDesktop&) = delete;
  VirtualDesktop& operator=(const VirtualDesktop&) = delete;
  ~VirtualDesktop() {
    if (joined_) SetThreadDesktop(previous_);
    if (desktop_) CloseDesktop(desktop_);
    if (explorer_) {
      TerminateProcess(explorer_.get(), 0);
      WaitForSingleObject(explorer_.get(), 5000);
    }
  }
  bool Joined() const { return joined_; }

 private:
  HDESK previous_ = GetThreadDesktop(GetCurrentThreadId());
  HDESK desktop_ = nullptr;
  bool joined_ = false;
  unique_handle explorer_;
};

class ConfigScreenshotTest : public ConfigProgramTest {
 protected:
  void SetUp() override {
    if (ScreenshotFolder().empty()) GTEST_SKIP() << "CORVISK_DISPLAY_FILE names no X server";
    ConfigProgramTest::SetUp();
    desktop_.emplace();
    ASSERT_TRUE(desktop_->Joined()) << "no virtual desktop";
  }
  void TearDown() override {
    desktop_.reset();
    SetLogPixels(96);
    ConfigProgramTest::TearDown();
  }

  std::optional<VirtualDesktop> desktop_;
};

struct TooltipQuery {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchTooltip(HWND window, LPARAM context) {
  auto& query = *reinterpret_cast<TooltipQuery*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  char name[32] = "";
  GetClassNameA(window, name, sizeof name);
  if (processId != query.processId || lstrcmpiA(name, TOOLTIPS_CLASSA) != 0 || !IsWindowVisible(window)) return TRUE;
  query.found = window;
  return FALSE;
}

// Rests the mouse on a control of the current page until its tooltip shows.
// The pointer comes onto the control from outside it and rests there; it comes
// again each second until the tooltip shows, as the control may not have
// seen the first arrival (a pointer already resting there moves nothing).
HWND ShowTooltip(const ConfigProgram& program, int control) {
  RECT frame{};
  GetWindowRect(GetDlgItem(program.CurrentPage(), control), &frame);
  TooltipQuery query{0, nullptr};
  GetWindowThreadProcessId(program.Sheet(), &query.processId);
  for (int i = 0; i < 50 && !query.found; ++i, Sleep(100)) {
    if (i % 10 == 0) {
      SetCursorPos(frame.left - 20, frame.top - 20);
      SetCursorPos((frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2);
      INPUT move{};
      move.type = INPUT_MOUSE;
      move.mi.dx = 1;
      move.mi.dwFlags = MOUSEEVENTF_MOVE;
      SendInput(1, &move, sizeof move);
    }
    EnumWindows(MatchTooltip, reinterpret_cast<LPARAM>(&query));
  }
  return query.found;
}

using ConfigScreenshots = ConfigScreenshotTest;
class ConfigPageScreenshots : public ConfigScreenshotTest, public ::testing::WithParamInterface<DWORD> {};

// A certificate for the transport page to describe, as "Create..." makes it.
void WriteCertificateSetting() {
  ImportedCredential credential;
  ASSERT_EQ(CreateSelfSignedCredential(L"CorviskFSP on FAXSERVER", 730, credential).result, S_OK);
  const std::string& der = credential.certificate;
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_SET_VALUE, &key), 0);
  RegSetValueExA(key, "M365Certificate", 0, REG_BINARY, reinterpret_cast<const BYTE*>(der.data()),
                 static_cast<DWORD>(der.size()));
  RegCloseKey(key);
}

// The transport page also with each cloud chosen.
TEST_P(ConfigPageScreenshots, EveryPage) {
  SetLogPixels(GetParam());
  WriteSetting("GoogleClientEmail", "fax-sender@corvisk-fax.iam.gserviceaccount.com");
  WriteCertificateSetting();
  ConfigProgram program({}, DesktopName());
  const std::wstring dpi = L"-" + std::to_wstring(GetParam()) + L"dpi.png";
  const wchar_t* names[] = {L"main", L"mail-server", L"mail-server-advanced", L"miscellaneous", L"mail-transport"};
  for (int page = 0; page < 5; ++page) {
    program.SelectPage(page);
    Sleep(500);
    TakePicture(program.Sheet(), names[page] + dpi);
  }
  program.SetCheck(IDC_TRANSPORT_M365, true);
  program.SetText(IDC_M365_TENANT, "contoso.onmicrosoft.com");
  program.SetText(IDC_M365_CLIENT, "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee");
  program.SetText(IDC_M365_MAILBOX, "fax@contoso.com");
  Sleep(500);
  TakePicture(program.Sheet(), L"mail-transport-m365" + dpi);
  program.SetCheck(IDC_TRANSPORT_M365, false);
  program.SetCheck(IDC_TRANSPORT_GOOGLE, true);
  program.SetText(IDC_GOOGLE_MAILBOX, "fax@example.com");
  Sleep(500);
  TakePicture(program.Sheet(), L"mail-transport-google" + dpi);
  program.PressCancel();
}

INSTANTIATE_TEST_SUITE_P(Dpi, ConfigPageScreenshots, ::testing::Values(96u, 144u));

TEST_F(ConfigScreenshots, TooltipOfTheNotifyAddress) {
  ConfigProgram program({}, DesktopName());
  Sleep(500);
  const HWND tooltip = ShowTooltip(program, IDC_NOTIFY_ADDRESS);
  ASSERT_NE(tooltip, nullptr) << "no tooltip showed";
  RECT sheet{}, tip{}, both{};
  GetWindowRect(program.Sheet(), &sheet);
  GetWindowRect(tooltip, &tip);
  UnionRect(&both, &sheet, &tip);
  TakePicture(both, L"tooltip-96dpi.png");
}

TEST_F(ConfigScreenshots, NotifyLabelOfAServerEdition) {
  ConfigProgram program({"5.2-server"}, DesktopName());
  Sleep(500);
  TakePicture(program.Sheet(), L"main-server-edition-96dpi.png");
}

// The helper server waits for a mail server that never answers.
TEST_F(ConfigScreenshots, TestMailUnderWay) {
  const GatewayServer silent("silent");
  WriteSetting("SMTPServer", "127.0.0.1");
  WriteSetting("SMTPPort", std::to_string(silent.Port()));
  WriteSetting("SMTPTimeout", "4");
  WriteSetting("NTLMAuthentication", "Y");
  const size_t connections = silent.Connections();
  ConfigProgram program({"5.1"}, DesktopName());
  program.SelectPage(1);
  program.Click(IDC_TEST_MAIL);
  const auto question = program.WaitForMessageBox();
  ASSERT_TRUE(question);
  program.Answer(*question, IDOK);
  for (int i = 0; i < 100 && silent.Connections() == connections; ++i) Sleep(100);
  ASSERT_GT(silent.Connections(), connections) << "the helper server did not reach the mail server";
  TakePicture(program.Sheet(), L"test-mail-running.png");
  const auto failure = program.WaitForMessageBox(20000);
  ASSERT_TRUE(failure) << "the test mail did not end";
  program.Answer(*failure, IDOK);
}

}  // namespace
}  // namespace corvisk::test
