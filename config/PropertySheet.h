#pragma once
// The program's only window: a property sheet of the four pages, run
// modeless with the program's own message loop so that every message passes
// the current page's tooltip first, and shown until OK, Cancel or the close
// box ends it.
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

namespace corvisk {

class CPropertyPage;

class CQuendryPropSheet {
 public:
  // The sheet's window is published in mainWindow while it exists, for the
  // thread that brings it to the front.
  CQuendryPropSheet(std::string title, std::vector<CPropertyPage*> pages, std::atomic<HWND>& mainWindow)
      : title_(std::move(title)), pages_(std::move(pages)), mainWindow_(mainWindow) {}
  CQuendryPropSheet(const CQuendryPropSheet&) = delete;
  CQuendryPropSheet& operator=(const CQuendryPropSheet&) = delete;

  // Shows the sheet with page 0 selected and returns when it has closed.
  void DoModal();
  HWND Window() const { return window_; }
  // Enables or disables one of the sheet's own buttons (IDOK, IDCANCEL).
  void EnableButton(int id, bool enable) const;

  BOOL m_bApplyRequested = FALSE;
  BOOL m_bBlockClose = FALSE;

 private:
  static int CALLBACK OnSheetEvent(HWND window, UINT event, LPARAM lParam);
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam);
  void OnInitialized(HWND window);
  void RunMessageLoop();

  std::string title_;
  std::vector<CPropertyPage*> pages_;
  HWND window_ = nullptr;
  std::atomic<HWND>& mainWindow_;
  bool pressing_ = false;
};

}  // namespace corvisk
