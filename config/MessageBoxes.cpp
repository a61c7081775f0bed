#include "config/MessageBoxes.h"

#include "common/Product.h"
#include "win32/AnsiText.h"

namespace corvisk {

std::string LoadText(UINT id) {
  const wchar_t* text = nullptr;
  // With a zero length LoadString hands out the resource's own text, which is
  // not terminated.
  const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
  return length > 0 ? ToAnsi(text, length) : std::string();
}

int ShowMessage(HWND owner, const std::string& text, UINT style) {
  return MessageBoxA(owner, text.c_str(), kMessageCaption, style);
}

}  // namespace corvisk
