// The applet's wait for the installer, seen from outside: host processes
// load it with the command lines a control panel started by the installer's
// commit action would have, while this test plays the installer: a process
// that lives until the test ends it, and its final dialog, a window of class
// "MsiDialogCloseClass" titled "CorviskFSP".
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppletSupport.h"
#include "ChildProcess.h"
#include "SettingsKey.h"

using namespace corvisk;
using namespace corvisk::test;

namespace {

// Long enough that a host which does not wait has surely ended; the dialog
// polling alone takes 3 s.
constexpr DWORD kStillWaitingMs = 4000;
constexpr DWORD kEndsMs = 10000;

class InstallerDialog {
 public:
  InstallerDialog() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"MsiDialogCloseClass";
    RegisterClassW(&windowClass);
    window_ = CreateWindowW(L"MsiDialogCloseClass", L"CorviskFSP", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  }
  ~InstallerDialog() { Close(); }
  InstallerDialog(const InstallerDialog&) = delete;
  InstallerDialog& operator=(const InstallerDialog&) = delete;

  bool Shown() const { return window_ != nullptr; }
  void Close() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
  }

 private:
  HWND window_ = nullptr;
};

class InstallerWaitTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (installer_) TerminateProcess(installer_.get(), 0);
  }

  DWORD StartInstaller() {
    installer_ = StartChild(L"\"" + ProgramFolder() + L"applet_host.exe\" sleep");
    return installer_ ? GetProcessId(installer_.get()) : 0;
  }
  void EndInstaller() {
    TerminateProcess(installer_.get(), 0);
    WaitForSingleObject(installer_.get(), kEndsMs);
  }

  // A host that loads the applet with these arguments after its own name.
  static unique_handle StartHost(const std::wstring& arguments) {
    return StartChild(L"\"" + ProgramFolder() + L"applet_host.exe\" " + arguments);
  }
  // How long the host's load took, once it has ended.
  static DWORD LoadMs(const unique_handle& host) {
    if (WaitForSingleObject(host.get(), kEndsMs) != WAIT_OBJECT_0) return ~0u;
    DWORD code = ~0u;
    GetExitCodeProcess(host.get(), &code);
    return code;
  }
  static bool Running(const unique_handle& host, DWORD forMs) {
    return WaitForSingleObject(host.get(), forMs) == WAIT_TIMEOUT;
  }

  unique_handle installer_;
};

// First the installer process, however long; then its dialog, however long.
TEST_F(InstallerWaitTest, WaitsForTheInstallerThenForItsDialog) {
  const DWORD installer = StartInstaller();
  ASSERT_NE(installer, 0u);
  const unique_handle host = StartHost(L"load x " + std::to_wstring(installer) + L" _CA_");
  ASSERT_TRUE(host);
  // Past the dialog polling: the host is waiting for the process.
  EXPECT_TRUE(Running(host, kStillWaitingMs));
  InstallerDialog dialog;
  ASSERT_TRUE(dialog.Shown());
  EndInstaller();
  EXPECT_TRUE(Running(host, 1500)) << "stopped waiting while the installer's dialog was shown";
  dialog.Close();
  EXPECT_LT(LoadMs(host), ~0u);
}

// Only five arguments with exactly "_CA_" last mean the installer.
TEST_F(InstallerWaitTest, OtherCommandLinesDoNotWait) {
  const std::wstring installer = std::to_wstring(StartInstaller());
  InstallerDialog dialog;
  ASSERT_TRUE(dialog.Shown());
  for (const std::wstring& arguments :
       {L"load " + installer + L" _CA_", L"load x " + installer + L" _CA_ y", L"load x " + installer + L" _ca_",
        L"load x " + installer + L" _CA", L"load x " + installer + L" \"_CA_ \""}) {
    const unique_handle host = StartHost(arguments);
    ASSERT_TRUE(host);
    EXPECT_LT(LoadMs(host), 2000u) << "waited for: " << std::string(arguments.begin(), arguments.end());
  }
}

// An installer that has already ended leaves the dialog polling: 30 looks,
// 100 ms apart, when the dialog never shows.
TEST_F(InstallerWaitTest, AnEndedInstallerLeavesOnlyTheDialogPolling) {
  const DWORD installer = StartInstaller();
  EndInstaller();
  installer_.reset();
  const unique_handle host = StartHost(L"load x " + std::to_wstring(installer) + L" _CA_");
  ASSERT_TRUE(host);
  const DWORD loadMs = LoadMs(host);
  EXPECT_GE(loadMs, 2800u);
  EXPECT_LT(loadMs, 6000u);
}

// Windows' control.exe hands the applet to "rundll32.exe shell32.dll,
// Control_RunDLL", which is where the five arguments come from. The control
// panel then opens the applet: the program starts once the installer is gone.
TEST_F(InstallerWaitTest, ControlPanelThroughRundll32WaitsThenStartsTheProgram) {
  StandInConfigProgram program;
  ASSERT_TRUE(program.Install());
  WriteSetting("ThePath", program.Folder());
  const DWORD installer = StartInstaller();
  const unique_handle panel =
      StartChild(L"rundll32.exe shell32.dll,Control_RunDLL " + AppletPath() + L" " + std::to_wstring(installer) + L" _CA_");
  ASSERT_TRUE(panel);
  EXPECT_TRUE(Running(panel, kStillWaitingMs));
  EXPECT_EQ(program.StartedCommandLine(0), "");
  EndInstaller();
  EXPECT_EQ(program.StartedCommandLine(kEndsMs), "\"" + program.Folder() + "\\CorviskFSPConfig.exe\"");
  EXPECT_FALSE(Running(panel, kEndsMs));
  DeleteSettingsKey();
}

// Wine's control.exe differs: it opens the applet in its own process, whose
// command line has four arguments, so the applet does not wait for the
// installer. The program is started all the same.
TEST_F(InstallerWaitTest, WinesControlPanelStartsTheProgramWithoutWaiting) {
  StandInConfigProgram program;
  ASSERT_TRUE(program.Install());
  WriteSetting("ThePath", program.Folder());
  const DWORD installer = StartInstaller();
  const unique_handle panel = StartChild(L"control.exe " + AppletPath() + L" " + std::to_wstring(installer) + L" _CA_");
  ASSERT_TRUE(panel);
  EXPECT_EQ(program.StartedCommandLine(kEndsMs), "\"" + program.Folder() + "\\CorviskFSPConfig.exe\"");
  DeleteSettingsKey();
}

}  // namespace
