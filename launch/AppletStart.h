#pragma once
#include <windows.h>

namespace corvisk {

// The body of the CustomActionCommit exports.
UINT StartAppletForInstaller() noexcept;

}  // namespace corvisk
