#include "common/ComErrorText.h"

#include "common/TextFormat.h"

namespace corvisk {

namespace {

// Interface-defined codes from 0x80040200 up are numbered from there, as
// automation servers number their IDispatch exceptions.
constexpr uint32_t kFirstDispatchCode = 0x80040200u;
constexpr uint32_t kLastDispatchCode = 0x8004FFFFu;

}  // namespace

// What stands for the system's message when it has none for an HRESULT:
// "IDispatch error #n" for a numbered interface-defined code, otherwise
// "Unknown error 0x..." with the code in upper-case hexadecimal.
std::string FallbackErrorMessage(uint32_t hresult) {
  if (hresult >= kFirstDispatchCode && hresult <= kLastDispatchCode && hresult != kFirstDispatchCode) {
    return FormatText("IDispatch error #%d", static_cast<int>(hresult - kFirstDispatchCode));
  }
  return FormatText("Unknown error 0x%0lX", static_cast<unsigned long>(hresult));
}

// System messages end with "\r\n"; the one-line texts built from them must not.
std::string WithoutTrailingLineBreak(std::string text) {
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
  return text;
}

// "error 0x<code>  : <message>", then " : <description>" when there is one.
// The double space comes from the code's own trailing blank before " : ".
std::string ComposeComErrorText(uint32_t hresult, const std::string& message, const std::string& description) {
  std::string text = "error " + FormatText("0x%lx ", static_cast<unsigned long>(hresult)) + " : " + message;
  if (!description.empty()) text += " : " + description;
  return text;
}

}  // namespace corvisk
