#include "config/PropertyPage.h"

#include "config/ConfigApp.h"
#include "config/MessageBoxes.h"
#include "config/PropertySheet.h"
#include "win32/ExceptionBoundary.h"

namespace corvisk {
namespace {

// Result of a notification handled by a page's dialog procedure.
INT_PTR Answer(HWND window, LONG_PTR result) {
  SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
  return TRUE;
}

// A command without a control (lParam 0) counts as one.
bool IsPushButton(HWND control) {
  if (!control) return true;
  char name[16] = "";
  GetClassNameA(control, name, sizeof name);
  const LONG_PTR type = GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK;
  return lstrcmpiA(name, WC_BUTTONA) == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

}  // namespace

PROPSHEETPAGEA CPropertyPage::Descriptor() {
  PROPSHEETPAGEA page{};
  page.dwSize = sizeof page;
  page.hInstance = GetModuleHandleA(nullptr);
  page.pszTemplate = MAKEINTRESOURCEA(templateId_);
  page.pfnDlgProc = DialogProc;
  page.lParam = reinterpret_cast<LPARAM>(this);
  return page;
}

CPropertyPage* CPropertyPage::FromWindow(HWND window) {
  return reinterpret_cast<CPropertyPage*>(GetWindowLongPtrA(window, DWLP_USER));
}

bool CPropertyPage::UpdateData(bool fromControls) {
  DataExchange exchange(window_, fromControls);
  pushing_ = !fromControls;
  DoDataExchange(exchange);
  pushing_ = false;
  return !exchange.Failed();
}

void CPropertyPage::RelayEvent(MSG& message) const {
  if (tooltip_) SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&message));
}

void CPropertyPage::PushText(int control, const char* text) {
  pushing_ = true;
  SetDlgItemTextA(window_, control, text);
  pushing_ = false;
}

void CPropertyPage::SetModified() const { PropSheet_Changed(GetParent(window_), window_); }

void CPropertyPage::AddTooltip(int control, UINT textId) {
  const std::string text = LoadText(textId);
  TOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window_, control));
  tool.lpszText = const_cast<char*>(text.c_str());
  SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void CPropertyPage::MarkModifiedOn(WORD control, WORD code, std::initializer_list<int> controls) const {
  if (pushing_ || (code != EN_CHANGE && code != BN_CLICKED)) return;
  for (const int id : controls)
    if (id == control) return SetModified();
}

// The fields go to the controls before the page does its own start, as the
// framework's default initialisation does; the tooltips become active last.
void CPropertyPage::Initialise(HWND window) {
  window_ = window;
  SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(this));
  tooltip_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);
  UpdateData(false);
  OnInitDialog();
  SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
}

void CPropertyPage::Destroy() {
  if (tooltip_) DestroyWindow(tooltip_);
  tooltip_ = nullptr;
  window_ = nullptr;
}

bool CPropertyPage::SheetHeld() const { return m_pApp->m_pSheet && m_pApp->m_pSheet->m_bBlockClose; }

// A held sheet keeps its current page.
INT_PTR CPropertyPage::OnNotify(const NMHDR& header) {
  switch (header.code) {
    case PSN_SETACTIVE:
      OnSetActive();
      return Answer(window_, 0);
    case PSN_KILLACTIVE:
      return Answer(window_, !SheetHeld() && OnKillActive() ? FALSE : TRUE);
    case PSN_APPLY:
      return Answer(window_, m_pApp->ApplySettings() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK CPropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ReturnOnException(static_cast<INT_PTR>(FALSE), [&] { return Dispatch(window, message, wParam, lParam); });
}

// Dispatches only; the work is in the page operations. While the sheet is
// held no push button starts anything: each of them starts work.
INT_PTR CPropertyPage::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* page = reinterpret_cast<CPropertyPage*>(reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam);
    page->Initialise(window);
    return TRUE;
  }
  CPropertyPage* page = FromWindow(window);
  if (!page) return FALSE;
  switch (message) {
    case WM_NOTIFY:
      return page->OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
      if (page->SheetHeld() && IsPushButton(reinterpret_cast<HWND>(lParam))) return TRUE;
      page->OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_DESTROY:
      page->Destroy();
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace corvisk
