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
  // Holds the sheet while a step blocks the user interface thread and
  // window messages can still be dispatched (a test mail): the close box,
  // OK, Cancel and Apply Now do nothing and the pages cannot be changed.
  // Apply Now comes back as it was, or lit when a page changed meanwhile.
  void Hold(bool held);

  BOOL m_bApplyRequested = FALSE;
  BOOL m_bBlockClose = FALSE;

 private:
  static int CALLBACK OnSheetEvent(HWND window, UINT event, LPARAM lParam);
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam);
  LRESULT OnChanged(HWND window, WPARAM wParam, LPARAM lParam);
  void EnableButton(int id, bool enable) const;
  void OnInitialized(HWND window);
  void RunMessageLoop();

  std::string title_;
  std::vector<CPropertyPage*> pages_;
  HWND window_ = nullptr;
  std::atomic<HWND>& mainWindow_;
  bool pressing_ = false;
  bool applyLit_ = false;  // Apply Now's state while the sheet is held
};

}  // namespace corvisk
