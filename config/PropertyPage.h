#pragma once
// A property page of the sheet: its dialog procedure turns the sheet's
// notifications into the page operations below, which each page overrides.
// The page owns its tooltip control, which the sheet's message loop feeds
// through RelayEvent.
#include <windows.h>
#include <commctrl.h>

#include "config/DataExchange.h"

namespace corvisk {

class CConfigApp;

class CPropertyPage {
 public:
  CPropertyPage(CConfigApp& app, UINT templateId) : m_pApp(&app), templateId_(templateId) {}
  CPropertyPage(const CPropertyPage&) = delete;
  CPropertyPage& operator=(const CPropertyPage&) = delete;
  virtual ~CPropertyPage() = default;

  PROPSHEETPAGEA Descriptor();
  HWND Window() const { return window_; }
  // Fields to controls (false) or controls to fields (true); false when a
  // pulled field failed and its message has been shown.
  bool UpdateData(bool fromControls);
  void RelayEvent(MSG& message) const;
  // The page of one of the sheet's page windows; null before its initialisation.
  static CPropertyPage* FromWindow(HWND window);

 protected:
  virtual void DoDataExchange(DataExchange& exchange) = 0;
  // After the fields are on the controls and before the tooltips go active.
  virtual void OnInitDialog() {}
  virtual void OnSetActive() {}
  // True lets the user leave the page.
  virtual bool OnKillActive() { return UpdateData(true); }
  virtual void OnCommand(WORD /*control*/, WORD /*code*/) {}
  // Marks the page changed, which enables Apply Now.
  void SetModified() const;
  void AddTooltip(int control, UINT textId);
  // Controls whose edits mark the page changed.
  void MarkModifiedOn(WORD control, WORD code, std::initializer_list<int> controls) const;
  // Puts text into one control as fields are pushed: not the user's edit.
  void PushText(int control, const char* text);

  CConfigApp* m_pApp;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnNotify(const NMHDR& header);
  bool SheetHeld() const;
  void Initialise(HWND window);
  void Destroy();

  UINT templateId_;
  HWND window_ = nullptr;
  HWND tooltip_ = nullptr;
  // Controls report their changes while the fields are pushed to them: those
  // are not the user's edits.
  bool pushing_ = false;
};

}  // namespace corvisk
