#include "config/DataExchange.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "common/SecureWipe.h"
#include "common/TextFormat.h"
#include "config/MessageBoxes.h"
#include "config/Resource.h"

namespace corvisk {
namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A whole integer as "%d" would accept it, with blanks around it and nothing
// else: "25x" and "" are not integers, and neither is a number beyond int.
bool ParseInteger(const std::string& text, int& value) {
  const char* begin = text.c_str();
  while (IsSpace(*begin)) ++begin;
  if (*begin == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(begin, &end, 10);
  if (end == begin || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
  while (IsSpace(*end)) ++end;
  if (*end != '\0') return false;
  value = static_cast<int>(parsed);
  return true;
}

// The framework's texts carry %1 and %2 for their numbers.
std::string Insert(std::string text, const char* marker, int number) {
  const size_t at = text.find(marker);
  if (at != std::string::npos) text.replace(at, 2, FormatText("%d", number));
  return text;
}

}  // namespace

std::string ControlText(HWND page, int control) {
  const HWND window = GetDlgItem(page, control);
  std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void DataExchange::Text(int control, std::string& value, int maxChars) {
  if (Skip()) return;
  if (!fromControls_) {
    if (maxChars > 0) SendDlgItemMessageA(page_, control, EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
    SetDlgItemTextA(page_, control, value.c_str());
    return;
  }
  std::string text = ControlText(page_, control);
  if (maxChars > 0 && text.size() > static_cast<size_t>(maxChars))
    return Fail(control, Insert(LoadText(IDS_PARSE_MAX_CHARS), "%1", maxChars));
  // The field may hold a password: its old text is not left on the heap.
  WipeText(value);
  value = std::move(text);
}

void DataExchange::Integer(int control, int& value, int minimum, int maximum) {
  if (Skip()) return;
  if (!fromControls_) {
    SetDlgItemTextA(page_, control, FormatText("%d", value).c_str());
    return;
  }
  int parsed = 0;
  if (!ParseInteger(ControlText(page_, control), parsed)) return Fail(control, LoadText(IDS_PARSE_INTEGER));
  if (parsed < minimum || parsed > maximum)
    return Fail(control, Insert(Insert(LoadText(IDS_PARSE_INTEGER_RANGE), "%1", minimum), "%2", maximum));
  value = parsed;
}

void DataExchange::Check(int control, BOOL& value) {
  if (Skip()) return;
  if (fromControls_)
    value = static_cast<BOOL>(IsDlgButtonChecked(page_, control));
  else
    CheckDlgButton(page_, control, static_cast<UINT>(value));
}

void DataExchange::Shown(int control, const std::string& value) {
  if (!Skip() && !fromControls_) SetDlgItemTextA(page_, control, value.c_str());
}

// The message first, then the focus: the message box takes the focus while it
// is open and hands it back to the page when it closes.
void DataExchange::Fail(int control, const std::string& message) {
  failed_ = true;
  ShowMessage(page_, message, MB_ICONEXCLAMATION);
  const HWND window = GetDlgItem(page_, control);
  SetFocus(window);
  SendMessageA(window, EM_SETSEL, 0, -1);
}

}  // namespace corvisk
