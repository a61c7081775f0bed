// The applet loaded in this process and called as the control panel calls
// it: every message and its result, and what opening it starts.
#include <windows.h>
#include <cpl.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "AppletSupport.h"
#include "ChildProcess.h"
#include "HiddenFile.h"
#include "SettingsKey.h"
#include "win32/Handles.h"

using namespace corvisk;
using namespace corvisk::test;

namespace {

using CPlAppletFn = LONG(APIENTRY*)(HWND, UINT, LPARAM, LPARAM);

constexpr DWORD kStartWaitMs = 10000;
// Long enough for a program that was wrongly started to have recorded itself.
constexpr DWORD kNoStartWaitMs = 1500;

constexpr char kAppPathKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\CorviskFSPConfig.exe";
// What the installer's action gives the settings key.
constexpr char kSettingsKeyAccess[] = "D:P(A;CI;KA;;;BA)(A;CI;KA;;;SY)(A;CI;KR;;;NS)";

class AppletTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsKey();
    module_.reset(LoadLibraryW(AppletPath().c_str()));
    ASSERT_TRUE(module_) << "cannot load the applet, error " << GetLastError();
    applet_ = reinterpret_cast<CPlAppletFn>(reinterpret_cast<void*>(GetProcAddress(module_.get(), "CPlApplet")));
    ASSERT_NE(applet_, nullptr);
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, current);
    previousFolder_ = current;
    // The bare program name is searched for from here.
    ASSERT_TRUE(SetCurrentDirectoryA(program_.Folder().c_str()));
  }

  void TearDown() override {
    SetCurrentDirectoryA(previousFolder_.c_str());
    DeleteSettingsKey();
  }

  LONG Send(UINT message, LPARAM param1 = 0, LPARAM param2 = 0) { return applet_(nullptr, message, param1, param2); }

  // The real configuration program is built beside this test, where the
  // platform looks first for a bare program name: moved aside, so that only
  // the stand-in can start and no real sheet is left running to hold the
  // single-instance event for later tests.
  HiddenFile realProgram_{ProgramFolder() + L"CorviskFSPConfig.exe"};
  unique_hmodule module_;
  CPlAppletFn applet_ = nullptr;
  StandInConfigProgram program_;
  std::string previousFolder_;
};

TEST_F(AppletTest, AnswersEveryMessageWithItsResult) {
  EXPECT_EQ(Send(CPL_INIT), 1);
  EXPECT_EQ(Send(CPL_GETCOUNT), 1);
  EXPECT_EQ(Send(CPL_SELECT), 1);
  EXPECT_EQ(Send(CPL_STOP), 1);
  EXPECT_EQ(Send(CPL_EXIT), 0);
  EXPECT_EQ(Send(0), 1);
  EXPECT_EQ(Send(CPL_SETUP), 1);
  EXPECT_EQ(Send(0x7fff), 1);
}

// Parameters are left to CPL_DBLCLK, which the control panel sends when
// they are not handled: nothing is started here.
TEST_F(AppletTest, LeavesParametersUnhandled) {
  ASSERT_TRUE(program_.Install());
  EXPECT_EQ(Send(CPL_STARTWPARMSA, 0, reinterpret_cast<LPARAM>("_CA_")), 0);
  EXPECT_EQ(Send(CPL_STARTWPARMSW, 0, reinterpret_cast<LPARAM>(L"_CA_")), 0);
  EXPECT_EQ(program_.StartedCommandLine(kNoStartWaitMs), "");
}

TEST_F(AppletTest, InquireDescribesTheOneApplet) {
  CPLINFO info;
  std::memset(&info, 0xab, sizeof info);
  EXPECT_EQ(Send(CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&info)), 0);
  EXPECT_EQ(info.idIcon, 1001);
  EXPECT_EQ(info.idName, 2);
  EXPECT_EQ(info.idInfo, 1);
  EXPECT_EQ(info.lData, 0);
  EXPECT_EQ(Send(CPL_INQUIRE, 0, 0), 0) << "a control panel that passes no CPLINFO";
}

TEST_F(AppletTest, NewInquireFillsNothing) {
  NEWCPLINFOA info;
  std::memset(&info, 0xab, sizeof info);
  NEWCPLINFOA untouched;
  std::memset(&untouched, 0xab, sizeof untouched);
  EXPECT_EQ(Send(CPL_NEWINQUIRE, 0, reinterpret_cast<LPARAM>(&info)), 0);
  EXPECT_EQ(std::memcmp(&info, &untouched, sizeof info), 0);
}

// The control panel loads the icon and both texts from the DLL by the ids
// CPL_INQUIRE gave.
TEST_F(AppletTest, HoldsTheIconAndTextsInquireNames) {
  EXPECT_NE(FindResourceA(module_.get(), MAKEINTRESOURCEA(1001), RT_GROUP_ICON), nullptr);
  char text[128] = "";
  ASSERT_GT(LoadStringA(module_.get(), 2, text, sizeof text), 0);
  EXPECT_STREQ(text, "CorviskFSP");
  ASSERT_GT(LoadStringA(module_.get(), 1, text, sizeof text), 0);
  EXPECT_STREQ(text, "CorviskFSP Control Panel");
}

// "ThePath" names the installation folder, with or without a separator at
// its end; a backslash is put between them only where none is.
class AppletStartTest : public AppletTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(AppletStartTest, StartsTheProgramInThePath) {
  ASSERT_TRUE(program_.Install());
  WriteSetting("ThePath", program_.Folder() + GetParam());
  // Elsewhere, so that only the path can find the program.
  ASSERT_TRUE(SetCurrentDirectoryA(previousFolder_.c_str()));
  EXPECT_EQ(Send(CPL_DBLCLK, 0, 0), 0);
  const std::string separator = *GetParam() ? GetParam() : "\\";
  EXPECT_EQ(program_.StartedCommandLine(kStartWaitMs), "\"" + program_.Folder() + separator + "CorviskFSPConfig.exe\"");
}

std::string SeparatorName(const ::testing::TestParamInfo<const char*>& info) {
  return *info.param == '\\' ? "Backslash" : *info.param == '/' ? "Slash" : "None";
}

INSTANTIATE_TEST_SUITE_P(Separators, AppletStartTest, ::testing::Values("", "\\", "/"), SeparatorName);

TEST_F(AppletTest, StartsTheProgramByItsBareNameWithoutTheKey) {
  ASSERT_TRUE(program_.Install());
  EXPECT_EQ(Send(CPL_DBLCLK, 0, 0), 0);
  EXPECT_NE(program_.StartedCommandLine(kStartWaitMs).find("CorviskFSPConfig.exe"), std::string::npos);
}

TEST_F(AppletTest, StartsTheProgramByItsBareNameWhenThePathIsEmpty) {
  ASSERT_TRUE(program_.Install());
  WriteSetting("ThePath", "");
  EXPECT_EQ(Send(CPL_DBLCLK, 0, 0), 0);
  EXPECT_NE(program_.StartedCommandLine(kStartWaitMs).find("CorviskFSPConfig.exe"), std::string::npos);
}

// No program where the path points, and none by its bare name: -1, and no
// message box (which would hang this test).
TEST_F(AppletTest, FailedStartReturnsMinusOne) {
  EXPECT_EQ(Send(CPL_DBLCLK, 0, 0), -1);
  WriteSetting("ThePath", program_.Folder());
  EXPECT_EQ(Send(CPL_DBLCLK, 0, 0), -1);
}

// A running configuration program waits on its event: opening the applet
// wakes it and starts nothing. A pulse reaches only a thread that is waiting
// at that moment, so the applet is opened until the waiter has woken.
TEST_F(AppletTest, ActivatesARunningProgramInsteadOfStartingOne) {
  ASSERT_TRUE(program_.Install());
  WriteSetting("ThePath", program_.Folder());
  const unique_handle event(CreateEventA(nullptr, FALSE, FALSE, "Local\\_CPL_SYNC_EVENT_CorviskFSP"));
  ASSERT_TRUE(event);
  const unique_handle woken(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread waiter([&] {
    if (WaitForSingleObject(event.get(), kStartWaitMs) == WAIT_OBJECT_0) SetEvent(woken.get());
  });
  bool activated = false;
  for (int attempt = 0; attempt < 50 && !activated; ++attempt) {
    EXPECT_EQ(Send(CPL_DBLCLK, 0, 0), 0);
    activated = WaitForSingleObject(woken.get(), 100) == WAIT_OBJECT_0;
  }
  waiter.join();
  EXPECT_TRUE(activated);
  EXPECT_EQ(program_.StartedCommandLine(kNoStartWaitMs), "");
}

// The program registered under App Paths, as the package registers it; gone
// with the object.
class AppPath {
 public:
  explicit AppPath(const std::string& program) {
    unique_hkey key;
    created_ = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAppPathKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                               nullptr) == ERROR_SUCCESS &&
               RegSetValueExA(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                              static_cast<DWORD>(program.size() + 1)) == ERROR_SUCCESS;
  }
  ~AppPath() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppPathKey); }
  AppPath(const AppPath&) = delete;
  AppPath& operator=(const AppPath&) = delete;

  bool Created() const { return created_; }

 private:
  bool created_ = false;
};

// The settings key's access list as text, read back as the key has it now.
std::string SettingsKeyAccess() {
  unique_hkey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, READ_CONTROL, key.put()) != ERROR_SUCCESS) return "";
  std::vector<BYTE> descriptor(4096);
  DWORD size = static_cast<DWORD>(descriptor.size());
  if (RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.data(), &size) != ERROR_SUCCESS) return "";
  char* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor.data(), SDDL_REVISION_1,
                                                            DACL_SECURITY_INFORMATION, &text, nullptr))
    return "";
  const unique_hlocal owned(text);
  return text;
}

// An administrator's token as UAC filters it for programs that do not ask
// for elevation: Administrators only denies.
unique_handle FilteredAdministratorToken() {
  unique_handle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_QUERY, token.put()))
    return {};
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size)) return {};
  SID_AND_ATTRIBUTES disabled{administrators, 0};
  unique_handle filtered;
  if (!CreateRestrictedToken(token.get(), 0, 1, &disabled, 0, nullptr, 0, nullptr, filtered.put())) return {};
  return filtered;
}

// Runs applet_host with the token (CreateProcessWithTokenW would ignore it
// under Wine) and returns its exit code.
DWORD RunHostWithToken(HANDLE token, const char* mode, const std::string& folder) {
  const std::wstring programFolder = ProgramFolder();
  std::string commandLine =
      "\"" + std::string(programFolder.begin(), programFolder.end()) + "applet_host.exe\" " + mode;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessAsUserA(token, nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                            &startup, &process))
    return GetLastError() | 0x80000000u;
  const unique_handle thread(process.hThread), owned(process.hProcess);
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process.hProcess, kStartWaitMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  return code;
}

using SecureSettingsKeyFn = UINT(WINAPI*)(unsigned long install);

// With UAC, the control panel runs with the administrator's filtered token,
// which the settings key's access list refuses: the applet finds the program
// by its bare name, through the App Paths entry the package writes.
TEST_F(AppletTest, FindsTheProgramThroughAppPathsWhenThePathIsRefused) {
  ASSERT_TRUE(program_.Install());
  WriteSetting("ThePath", program_.Folder() + "\\not-here");
  // The installer's own action secures the key.
  const unique_hmodule actions(LoadLibraryW((ProgramFolder() + L"CorviskFSP_CA.dll").c_str()));
  ASSERT_TRUE(actions);
  const auto secure = reinterpret_cast<SecureSettingsKeyFn>(
      reinterpret_cast<void*>(GetProcAddress(actions.get(), "SecureSettingsKey")));
  ASSERT_NE(secure, nullptr);
  ASSERT_EQ(secure(0), static_cast<UINT>(ERROR_SUCCESS));
  const AppPath appPath(program_.Folder() + "\\CorviskFSPConfig.exe");
  ASSERT_TRUE(appPath.Created());
  const unique_handle token = FilteredAdministratorToken();
  ASSERT_TRUE(token) << GetLastError();

  // Wine does not keep an access list across a restart of its server: read
  // back just before the read that it must refuse.
  ASSERT_EQ(SettingsKeyAccess(), kSettingsKeyAccess);
  EXPECT_EQ(RunHostWithToken(token.get(), "read-settings", previousFolder_), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RunHostWithToken(token.get(), "open", previousFolder_), 0u);
  EXPECT_EQ(program_.StartedCommandLine(kStartWaitMs), "\"" + program_.Folder() + "\\CorviskFSPConfig.exe\"");
}

}  // namespace
