#pragma once
// The settings key as a test writes it: removed at the start and the end of
// each test, values written as the configuration program stores them.
#include <windows.h>

#include <string>

namespace corvisk::test {

inline constexpr char kSettingsKey[] = "SOFTWARE\\Mervale\\CorviskFSP";

void DeleteSettingsKey();
void WriteSetting(const char* name, const std::string& value);
void DeleteSetting(const char* name);
// The two values without which a send fails, plus what points the SMTP
// transport somewhere harmless.
void WriteMinimalSettings();

}  // namespace corvisk::test
