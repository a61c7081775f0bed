#pragma once
// The module lifetime of an in-process COM server: every live object and
// server lock counts; DllCanUnloadNow answers from the count.
#include <windows.h>

namespace corvisk {

bool ModuleInUse();
// The answer for DllCanUnloadNow.
inline HRESULT CanUnloadModule() { return ModuleInUse() ? S_FALSE : S_OK; }

}  // namespace corvisk
