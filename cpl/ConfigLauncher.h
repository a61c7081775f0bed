#pragma once
#include <windows.h>

#include <string>

namespace corvisk {

// The configuration program's file: in the installation folder that
// "ThePath" names, or the bare file name when the settings do not say.
std::string ConfigProgramPath();

// Brings a running configuration program to the front, or starts one.
// 0 when either happened, -1 when the program could not be started.
LONG LaunchConfigProgram();

}  // namespace corvisk
