#include "config/PropertySheet.h"

#include <commctrl.h>

#include "config/PropertyPage.h"
#include "config/Resource.h"
#include "win32/ExceptionBoundary.h"

namespace corvisk {
namespace {

// The sheet being created: its creation callback carries no pointer of ours.
CQuendryPropSheet* g_creating = nullptr;

void SetApplicationIcon(HWND window) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  const auto load = [instance](int metric) {
    return LoadImageA(instance, MAKEINTRESOURCEA(IDI_CONFIG_APP), IMAGE_ICON, GetSystemMetrics(metric),
                      GetSystemMetrics(metric + 1), LR_DEFAULTCOLOR | LR_SHARED);
  };
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(load(SM_CXICON)));
  SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(load(SM_CXSMICON)));
}

// Clicks and keys made while the sheet was held wait in the queue, since the
// wait for the mail transport dispatches no input; they were meant for a sheet
// that took none, so they are dropped rather than run once it is let go.
void DiscardQueuedInput() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT)) {
  }
}

}  // namespace

void CQuendryPropSheet::DoModal() {
  std::vector<HPROPSHEETPAGE> handles;
  for (CPropertyPage* page : pages_) {
    PROPSHEETPAGEA descriptor = page->Descriptor();
    handles.push_back(CreatePropertySheetPageA(&descriptor));
  }
  PROPSHEETHEADERA header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_MODELESS | PSH_USECALLBACK | PSH_NOCONTEXTHELP;
  header.hInstance = GetModuleHandleA(nullptr);
  header.pszCaption = title_.c_str();
  header.nPages = static_cast<UINT>(handles.size());
  header.nStartPage = 0;
  header.phpage = handles.data();
  header.pfnCallback = OnSheetEvent;
  g_creating = this;
  window_ = reinterpret_cast<HWND>(PropertySheetA(&header));
  g_creating = nullptr;
  if (!window_) return;
  RunMessageLoop();
  mainWindow_ = nullptr;
  DestroyWindow(window_);
  window_ = nullptr;
}

void CQuendryPropSheet::EnableButton(int id, bool enable) const { EnableWindow(GetDlgItem(window_, id), enable); }

void CQuendryPropSheet::Hold(bool held) {
  if (held) applyLit_ = IsWindowEnabled(GetDlgItem(window_, IDC_APPLY_NOW)) != FALSE;
  if (!held) DiscardQueuedInput();
  m_bBlockClose = held;
  EnableButton(IDOK, !held);
  EnableButton(IDCANCEL, !held);
  EnableButton(IDC_APPLY_NOW, !held && applyLit_);
  EnableWindow(PropSheet_GetTabControl(window_), !held);
}

// Ends when the sheet has no current page any more: OK, Cancel or the close
// box. A quit message ends it too, and is passed on.
void CQuendryPropSheet::RunMessageLoop() {
  MSG message;
  while (PropSheet_GetCurrentPageHwnd(window_)) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (CPropertyPage* page = CPropertyPage::FromWindow(PropSheet_GetCurrentPageHwnd(window_)))
      page->RelayEvent(message);
    if (PropSheet_IsDialogMessage(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

int CALLBACK CQuendryPropSheet::OnSheetEvent(HWND window, UINT event, LPARAM) {
  return ReturnOnException(0, [&] {
    if (event == PSCB_INITIALIZED && g_creating) g_creating->OnInitialized(window);
    return 0;
  });
}

void CQuendryPropSheet::OnInitialized(HWND window) {
  window_ = window;
  mainWindow_ = window;
  SetWindowSubclass(window, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
  SetApplicationIcon(window);
}

// OK and Apply Now mark the press, so that the one apply run happens on the
// first page's apply notification; then the control does its own processing.
// A held sheet takes none of its buttons, whether clicked, typed or posted.
LRESULT CQuendryPropSheet::OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  const WORD id = LOWORD(wParam);
  if (m_bBlockClose && (id == IDOK || id == IDCANCEL || id == IDC_APPLY_NOW)) return 0;
  if (pressing_ || (id != IDOK && id != IDC_APPLY_NOW)) return DefSubclassProc(window, WM_COMMAND, wParam, lParam);
  m_bApplyRequested = TRUE;
  pressing_ = true;
  SendMessageA(window, PSM_PRESSBUTTON, id == IDOK ? PSBTN_OK : PSBTN_APPLYNOW, 0);
  pressing_ = false;
  return 0;
}

// An edit made while the sheet is held lights Apply Now only once it is let go.
LRESULT CQuendryPropSheet::OnChanged(HWND window, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = DefSubclassProc(window, PSM_CHANGED, wParam, lParam);
  if (m_bBlockClose) {
    applyLit_ = true;
    EnableButton(IDC_APPLY_NOW, false);
  }
  return result;
}

LRESULT CALLBACK CQuendryPropSheet::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                 DWORD_PTR self) {
  return ReturnOnException(static_cast<LRESULT>(0), [&] {
    return reinterpret_cast<CQuendryPropSheet*>(self)->Dispatch(window, message, wParam, lParam);
  });
}

// Dispatches only: the close box and the page changes that light Apply Now
// while the sheet is held, and the sheet's buttons.
LRESULT CQuendryPropSheet::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE && m_bBlockClose) return 0;
      break;
    case WM_COMMAND:
      return OnCommand(window, wParam, lParam);
    case PSM_CHANGED:
      return OnChanged(window, wParam, lParam);
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, SubclassProc, 0);
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace corvisk
