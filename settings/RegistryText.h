#pragma once
// Values of the settings key, all kept as text whatever their registry type.
#include <windows.h>

#include <string>

namespace corvisk {

LONG ReadRegistryText(HKEY key, const char* name, DWORD size, std::string& text);
void ReadRegistryFlag(HKEY key, const char* name, DWORD size, bool& flag);
void ReadRegistryNumber(HKEY key, const char* name, DWORD size, int& number);
LONG WriteRegistryText(HKEY key, const char* name, const std::string& text);

}  // namespace corvisk
