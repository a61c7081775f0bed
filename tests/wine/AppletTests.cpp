// The applet loaded in this process and called as the control panel calls
// it: every message and its result, and what opening it starts.
#include <windows.h>
#include <cpl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <utility>

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

}  // namespace
