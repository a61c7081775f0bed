#pragma once
// Conversions between the system's ANSI code page and UTF-16: narrow text is
// the system's own, UTF-16 appears only at COM and platform boundaries.
#include <windows.h>

#include <string>

#include "win32/ComPtr.h"

namespace corvisk {

std::wstring ToWide(const std::string& text);
std::string ToAnsi(const wchar_t* text, int length = -1);
inline std::string ToAnsi(const std::wstring& text) { return ToAnsi(text.c_str(), static_cast<int>(text.size())); }
// UTF-16 as UTF-8, for texts that leave the machine (mail, JSON).
std::string ToUtf8(const std::wstring& text);
// A BSTR made from narrow text; null when it cannot be allocated.
unique_bstr ToBstr(const std::string& text);

}  // namespace corvisk
