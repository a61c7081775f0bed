#pragma once
#include <windows.h>

namespace corvisk::testbed {

// Points a module's import of dll!function at replacement; returns the
// previous address, or null when the module does not import it.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);

}  // namespace corvisk::testbed
