#pragma once
// Moves a page's fields to its controls and back, as dialog frameworks do:
// pushing applies the maximum lengths to the edit controls; pulling checks
// lengths and numbers, shows the framework's message for the first field that
// fails, leaves the focus on that control and skips every later field.
#include <windows.h>

#include <string>

namespace corvisk {

class DataExchange {
 public:
  DataExchange(HWND page, bool fromControls) : page_(page), fromControls_(fromControls) {}

  void Text(int control, std::string& value, int maxChars = 0);
  void Integer(int control, int& value, int minimum, int maximum);
  void Check(int control, BOOL& value);
  // A text only shown: pushed, never pulled.
  void Shown(int control, const std::string& value);

  bool FromControls() const { return fromControls_; }
  bool Failed() const { return failed_; }

 private:
  bool Skip() const { return failed_; }
  void Fail(int control, const std::string& message);

  HWND page_;
  bool fromControls_;
  bool failed_ = false;
};

// The control's text in the system code page.
std::string ControlText(HWND page, int control);

}  // namespace corvisk
