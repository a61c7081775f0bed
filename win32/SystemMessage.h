#pragma once
#include <windows.h>

#include <string>

namespace corvisk {

std::string SystemMessageText(DWORD code);

}  // namespace corvisk
