#pragma once

namespace corvisk {

// When the installer's commit action opened the control panel on us, waits
// until the installer process has ended and its last dialog has closed, so
// the configuration program does not appear behind the installer.
void WaitForInstaller() noexcept;

}  // namespace corvisk
