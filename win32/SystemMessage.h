#pragma once
#include <windows.h>

#include <string>

namespace corvisk {

std::string SystemMessageText(DWORD code);
std::string StandardMessage(HRESULT hresult);

}  // namespace corvisk
