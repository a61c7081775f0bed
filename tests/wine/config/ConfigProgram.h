#pragma once
// Drives CorviskFSPConfig.exe from outside, the way a user would through its
// window: the program runs in its own process on the X display, with the
// platform simulation loaded into it; the driver finds the sheet by its
// title, selects pages, types into controls, presses the sheet's buttons and
// reads and answers its message boxes.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "win32/Handles.h"

namespace corvisk::test {

inline constexpr char kSheetTitle[] = "CorviskFSP ver 3.0.1 Properties";
inline constexpr char kMessageCaption[] = "CorviskFSP ver 3.0.1";

struct SimulatedMachine {
  std::string platform;  // "MAJOR.MINOR[-server]"; empty: what Wine reports
  bool wow64 = false;
  bool notAdmin = false;
  std::string refusedValue{};  // a value the registry refuses to write
};

struct MessageBoxSeen {
  HWND window = nullptr;
  std::string caption;
  std::string text;
  UINT style = 0;  // as the program asked for it
};

class ConfigProgram {
 public:
  // Starts the program and waits until its sheet is on screen; on the named
  // desktop when one is given.
  explicit ConfigProgram(const SimulatedMachine& machine = {}, const wchar_t* desktop = nullptr);
  ConfigProgram(const ConfigProgram&) = delete;
  ConfigProgram& operator=(const ConfigProgram&) = delete;
  // Ends a program the test left running.
  ~ConfigProgram();

  HWND Sheet() const { return sheet_; }
  HWND SelectPage(int index);
  HWND CurrentPage() const;
  void SetText(int control, const std::string& text);
  std::string Text(int control) const;
  void SetCheck(int control, bool checked);
  bool Checked(int control) const;
  bool Enabled(int control) const;
  void PressOk();
  void PressApply();
  void PressCancel();
  void Click(int control);
  // Clicks a button of the sheet or of its current page with the mouse, as
  // a user does: a disabled button takes no click.
  void ClickWithMouse(int control) const;

  // The next message box of the program, shown within the wait; its style
  // comes from the program's own call.
  std::optional<MessageBoxSeen> WaitForMessageBox(DWORD waitMs = 10000);
  // The next message box that the system shows on the program's behalf
  // (the shell's own error box): its style is not known.
  std::optional<MessageBoxSeen> WaitForSystemMessageBox(DWORD waitMs = 10000);
  void Answer(const MessageBoxSeen& box, int button);
  // True when no message box is shown within the wait.
  bool NoMessageBox(DWORD waitMs = 1500);
  // The message box that an apply under way shows, or nothing once the apply
  // has ended without one (the program has ended, or the sheet has greyed
  // Apply Now and answers again) or the wait has run out.
  std::optional<MessageBoxSeen> WaitForApplyEnd(DWORD waitMs = 1500);
  // Waits for the process to end; its exit code, or nothing on time-out.
  std::optional<DWORD> WaitForExit(DWORD waitMs = 10000);
  // The program's debugger output so far (written when it exits).
  std::string DebugOutput() const;
  // The names of the registry values the program wrote, in order.
  std::vector<std::string> WrittenValues() const;
  HANDLE Process() const { return process_.get(); }

 private:
  void Start(const SimulatedMachine& machine, const wchar_t* desktop);
  void Post(UINT message, WPARAM wParam, LPARAM lParam) const;
  bool ApplyEnded() const;

  unique_handle process_;
  DWORD processId_ = 0;
  HWND sheet_ = nullptr;
  std::string messageLog_;
  std::string debugLog_;
  std::string registryLog_;
  size_t messagesRead_ = 0;
};

// The program's window with that title in any process, within the wait.
HWND WaitForWindow(const char* title, DWORD waitMs);
std::wstring ConfigProgramPath();

}  // namespace corvisk::test
