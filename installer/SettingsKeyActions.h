#pragma once
#include <windows.h>

namespace corvisk {

// Gives the settings key, which holds the gateway and SMTP passwords, an
// access list of its own: Administrators and SYSTEM may change it, and only
// they and the fax service's account (NETWORK SERVICE) may read it. Creates
// the key if it is missing. Returns the error, ERROR_SUCCESS when done.
UINT SecureSettingsKey() noexcept;

// Deletes the settings key with everything in it, and the vendor key above
// it when nothing else is left there. Always ERROR_SUCCESS: removal goes on.
UINT RemoveSettingsKey() noexcept;

}  // namespace corvisk
