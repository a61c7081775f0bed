#pragma once
// The program's message boxes and string table texts.
#include <windows.h>

#include <string>

namespace corvisk {

// A text of the program's string table; empty when it has none.
std::string LoadText(UINT id);
// A message box captioned with the product and its version.
int ShowMessage(HWND owner, const std::string& text, UINT style);
inline int ShowMessage(HWND owner, UINT textId, UINT style) { return ShowMessage(owner, LoadText(textId), style); }

}  // namespace corvisk
