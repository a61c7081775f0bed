#include "MessageBoxAnswerer.h"

namespace corvisk::test {

namespace {

// Control identifiers of Wine's message box template.
constexpr int kTextControl = 0xFFFF;
constexpr int kIconControl = 0x0440;

struct Search {
  const std::string* caption;
  HWND found = nullptr;
};

// Asks nothing of the window's thread: GetWindowText would send it a
// message, and a test's own window waits while the test's thread is busy.
std::string TitleOf(HWND window) {
  wchar_t title[256] = L"";
  const int length = InternalGetWindowText(window, title, ARRAYSIZE(title));
  std::string narrow(static_cast<size_t>(length) * 2, '\0');
  narrow.resize(static_cast<size_t>(
      WideCharToMultiByte(CP_ACP, 0, title, length, narrow.data(), static_cast<int>(narrow.size()), nullptr, nullptr)));
  return narrow;
}

BOOL CALLBACK FindBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  char className[16] = "";
  GetClassNameA(window, className, sizeof className);
  if (IsWindowVisible(window) && lstrcmpA(className, "#32770") == 0 && TitleOf(window) == *search->caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindMessageBox(const std::string& caption) {
  Search search{&caption};
  EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool ShowsIcon(HWND box, LPCTSTR icon) {
  const auto shown = reinterpret_cast<HICON>(SendDlgItemMessageA(box, kIconControl, STM_GETICON, 0, 0));
  return shown && shown == LoadIcon(nullptr, icon);
}

}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer(std::string caption, int button)
    : caption_(std::move(caption)), button_(button), watcher_([this] { Watch(); }) {}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  stop_ = true;
  watcher_.join();
}

std::vector<ShownMessageBox> MessageBoxAnswerer::Shown() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return shown_;
}

bool MessageBoxAnswerer::WaitForCount(size_t count, DWORD timeoutMs) const {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (Shown().size() < count) {
    if (GetTickCount64() > end) return false;
    Sleep(20);
  }
  return true;
}

void MessageBoxAnswerer::Watch() {
  while (!stop_) {
    if (const HWND box = FindMessageBox(caption_)) {
      Answer(box);
    } else {
      Sleep(20);
    }
  }
}

void MessageBoxAnswerer::Answer(HWND box) {
  ShownMessageBox shown;
  char text[1024] = "";
  GetDlgItemTextA(box, kTextControl, text, sizeof text);
  shown.text = text;
  shown.owner = GetWindow(box, GW_OWNER);
  shown.errorIcon = ShowsIcon(box, IDI_HAND);
  shown.questionIcon = ShowsIcon(box, IDI_QUESTION);
  // Wine's template holds every button and hides those the style leaves out.
  const HWND cancel = GetDlgItem(box, IDCANCEL);
  shown.hasCancel = cancel && IsWindowVisible(cancel);
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    shown_.push_back(shown);
  }
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button_)));
  // Gone before the next search, so the same box is never answered twice.
  for (int wait = 0; wait < 250 && IsWindow(box); ++wait) Sleep(20);
}

}  // namespace corvisk::test
