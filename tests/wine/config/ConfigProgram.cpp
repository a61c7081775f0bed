#include "ConfigProgram.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "ChildProcess.h"

namespace corvisk::test {
namespace {

constexpr DWORD kPollMs = 50;
constexpr int kApplyNow = 0x3021;  // the property sheet's own button
constexpr int kMessageTextId = 0xFFFF;

struct WindowQuery {
  DWORD processId;
  const char* title;  // null: any message box but the sheet
  HWND found;
};

// Sent, not GetWindowText: that reads only the captions of other processes'
// windows, never the text of their controls.
std::string WindowText(HWND window) {
  char text[1024] = "";
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

bool IsDialog(HWND window) {
  char name[32] = "";
  GetClassNameA(window, name, sizeof name);
  return lstrcmpA(name, "#32770") == 0 && IsWindowVisible(window);
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  auto& query = *reinterpret_cast<WindowQuery*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if ((query.processId && processId != query.processId) || !IsDialog(window)) return TRUE;
  // A message box has its text in a static control; the closing sheet of an
  // ending process has none.
  if (!query.title && !GetDlgItem(window, kMessageTextId)) return TRUE;
  const std::string title = WindowText(window);
  const bool match = query.title ? title == query.title : title != kSheetTitle;
  if (!match) return TRUE;
  query.found = window;
  return FALSE;
}

HWND FindDialog(DWORD processId, const char* title) {
  WindowQuery query{processId, title, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

std::string TempFilePath(const char* prefix) {
  char folder[MAX_PATH] = "", path[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, folder);
  GetTempFileNameA(folder, prefix, 0, path);
  return path;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

bool Inject(HANDLE process, const std::wstring& dll) {
  const SIZE_T bytes = (dll.size() + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!remote || !WriteProcessMemory(process, remote, dll.c_str(), bytes, nullptr)) return false;
  const auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
  const unique_handle thread(CreateRemoteThread(process, nullptr, 0, load, remote, 0, nullptr));
  if (!thread || WaitForSingleObject(thread.get(), 20000) != WAIT_OBJECT_0) return false;
  DWORD loaded = 0;
  return GetExitCodeThread(thread.get(), &loaded) && loaded != 0;
}

void SetSimulation(const char* name, const std::string& value) {
  SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
}

}  // namespace

std::wstring ConfigProgramPath() { return ProgramFolder() + L"CorviskFSPConfig.exe"; }

HWND WaitForWindow(const char* title, DWORD waitMs) {
  for (DWORD waited = 0;; waited += kPollMs) {
    if (const HWND window = FindDialog(0, title)) return window;
    if (waited >= waitMs) return nullptr;
    Sleep(kPollMs);
  }
}

ConfigProgram::ConfigProgram(const SimulatedMachine& machine, const wchar_t* desktop)
    : messageLog_(TempFilePath("msg")), debugLog_(TempFilePath("dbg")), registryLog_(TempFilePath("reg")) {
  Start(machine, desktop);
}

// The simulation settings reach the program through its environment.
void ConfigProgram::Start(const SimulatedMachine& machine, const wchar_t* desktop) {
  SetSimulation("CORVISK_SIM_PLATFORM", machine.platform);
  SetSimulation("CORVISK_SIM_WOW64", machine.wow64 ? "1" : "");
  SetSimulation("CORVISK_SIM_NOT_ADMIN", machine.notAdmin ? "1" : "");
  SetSimulation("CORVISK_SIM_MESSAGE_LOG", messageLog_);
  SetSimulation("CORVISK_SIM_DEBUG_LOG", debugLog_);
  SetSimulation("CORVISK_SIM_REGISTRY_LOG", registryLog_);
  SetSimulation("CORVISK_SIM_REGISTRY_REFUSE", machine.refusedValue);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring desktopName = desktop ? desktop : L"";
  if (desktop) startup.lpDesktop = desktopName.data();
  PROCESS_INFORMATION info{};
  std::wstring line = L"\"" + ConfigProgramPath() + L"\"";
  const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                                      &startup, &info);
  for (const char* name :
       {"CORVISK_SIM_PLATFORM", "CORVISK_SIM_WOW64", "CORVISK_SIM_NOT_ADMIN", "CORVISK_SIM_MESSAGE_LOG",
        "CORVISK_SIM_DEBUG_LOG", "CORVISK_SIM_REGISTRY_LOG", "CORVISK_SIM_REGISTRY_REFUSE"})
    SetEnvironmentVariableA(name, nullptr);
  ASSERT_TRUE(started) << GetLastError();
  process_.reset(info.hProcess);
  const unique_handle thread(info.hThread);
  processId_ = info.dwProcessId;
  ASSERT_TRUE(Inject(process_.get(), ProgramFolder() + L"platformsim.dll")) << "platform simulation not loaded";
  ResumeThread(thread.get());
  for (DWORD waited = 0; !sheet_ && waited < 30000; waited += kPollMs) {
    sheet_ = FindDialog(processId_, kSheetTitle);
    if (!sheet_) Sleep(kPollMs);
  }
  ASSERT_NE(sheet_, nullptr) << "the sheet did not appear";
}

ConfigProgram::~ConfigProgram() {
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
  }
  DeleteFileA(messageLog_.c_str());
  DeleteFileA(debugLog_.c_str());
  DeleteFileA(registryLog_.c_str());
}

HWND ConfigProgram::CurrentPage() const {
  return reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0));
}

// Posted, not sent: leaving a page may show a message box, which would hold
// a sent message until it is answered.
HWND ConfigProgram::SelectPage(int index) {
  const HWND before = CurrentPage();
  Post(PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
  for (DWORD waited = 0; waited < 5000; waited += kPollMs) {
    const HWND page = CurrentPage();
    if (page && page != before) return page;
    if (FindDialog(processId_, nullptr)) return page;
    Sleep(kPollMs);
  }
  return CurrentPage();
}

void ConfigProgram::SetText(int control, const std::string& text) {
  const HWND page = CurrentPage();
  const HWND edit = GetDlgItem(page, control);
  ASSERT_NE(edit, nullptr) << "no control " << control;
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageA(page, WM_COMMAND, MAKEWPARAM(control, EN_CHANGE), reinterpret_cast<LPARAM>(edit));
}

std::string ConfigProgram::Text(int control) const { return WindowText(GetDlgItem(CurrentPage(), control)); }

void ConfigProgram::SetCheck(int control, bool checked) {
  const HWND page = CurrentPage();
  const HWND button = GetDlgItem(page, control);
  ASSERT_NE(button, nullptr) << "no control " << control;
  SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageA(page, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool ConfigProgram::Checked(int control) const {
  return SendMessageA(GetDlgItem(CurrentPage(), control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool ConfigProgram::Enabled(int control) const { return IsWindowEnabled(GetDlgItem(sheet_, control)) != FALSE; }

void ConfigProgram::PressOk() { Post(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }
void ConfigProgram::PressApply() { Post(WM_COMMAND, MAKEWPARAM(kApplyNow, BN_CLICKED), 0); }
void ConfigProgram::PressCancel() { Post(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }

void ConfigProgram::Click(int control) {
  const HWND page = CurrentPage();
  PostMessageA(page, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, control)));
}

void ConfigProgram::ClickWithMouse(int control) const {
  HWND button = GetDlgItem(sheet_, control);
  if (!button) button = GetDlgItem(CurrentPage(), control);
  ASSERT_NE(button, nullptr) << "no control " << control;
  RECT frame{};
  GetWindowRect(button, &frame);
  SetCursorPos((frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2);
  INPUT clicks[2]{};
  clicks[0].type = clicks[1].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ASSERT_EQ(SendInput(2, clicks, sizeof(INPUT)), 2u);
}

void ConfigProgram::Post(UINT message, WPARAM wParam, LPARAM lParam) const {
  PostMessageA(sheet_, message, wParam, lParam);
}

std::optional<MessageBoxSeen> ConfigProgram::WaitForSystemMessageBox(DWORD waitMs) {
  for (DWORD waited = 0;; waited += kPollMs) {
    if (const HWND box = FindDialog(processId_, nullptr))
      return MessageBoxSeen{box, WindowText(box), WindowText(GetDlgItem(box, kMessageTextId)), 0};
    if (waited >= waitMs) return std::nullopt;
    Sleep(kPollMs);
  }
}

std::optional<MessageBoxSeen> ConfigProgram::WaitForMessageBox(DWORD waitMs) {
  std::optional<MessageBoxSeen> seen = WaitForSystemMessageBox(waitMs);
  if (!seen) return seen;
  const std::vector<std::string> styles = ReadLines(messageLog_);
  if (messagesRead_ < styles.size()) seen->style = std::stoul(styles[messagesRead_], nullptr, 16);
  ++messagesRead_;
  return seen;
}

void ConfigProgram::Answer(const MessageBoxSeen& box, int button) {
  PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  for (DWORD waited = 0; IsWindow(box.window) && waited < 5000; waited += kPollMs) Sleep(kPollMs);
}

bool ConfigProgram::NoMessageBox(DWORD waitMs) {
  for (DWORD waited = 0; waited < waitMs; waited += kPollMs) {
    if (FindDialog(processId_, nullptr)) return false;
    Sleep(kPollMs);
  }
  return true;
}

std::optional<MessageBoxSeen> ConfigProgram::WaitForApplyEnd(DWORD waitMs) {
  for (DWORD waited = 0; waited < waitMs; waited += kPollMs) {
    // The press was posted: let the sheet take it before asking.
    Sleep(kPollMs);
    if (FindDialog(processId_, nullptr)) return WaitForMessageBox(0);
    if (ApplyEnded()) return std::nullopt;
  }
  return WaitForMessageBox(0);
}

bool ConfigProgram::ApplyEnded() const {
  if (WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0) return true;
  DWORD_PTR answer = 0;
  return !Enabled(kApplyNow) && SendMessageTimeoutA(sheet_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &answer) != 0;
}

std::optional<DWORD> ConfigProgram::WaitForExit(DWORD waitMs) {
  if (WaitForSingleObject(process_.get(), waitMs) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

std::vector<std::string> ConfigProgram::WrittenValues() const { return ReadLines(registryLog_); }

std::string ConfigProgram::DebugOutput() const {
  std::ifstream file(debugLog_, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace corvisk::test
