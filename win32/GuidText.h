#pragma once
#include <windows.h>

#include <string>

namespace corvisk {

// A new GUID as 36 lower-case characters without braces; unique names for
// messages and assertions. On failure text is empty and the result is
// CoCreateGuid's: a GUID of zeros would name every message alike.
HRESULT NewGuidText(std::string& text);

}  // namespace corvisk
