#pragma once
#include <windows.h>
#include <unknwn.h>

#include <string>

namespace corvisk {

std::string RichErrorDescription(IUnknown* object, REFIID iid);

}  // namespace corvisk
