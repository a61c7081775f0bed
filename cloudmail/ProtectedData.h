#pragma once
// Secrets at rest: DPAPI in machine scope, because the configuration program
// (an administrator) protects what the fax service (NETWORK SERVICE)
// unprotects; user scope would not decrypt there.
#include <windows.h>
#include <wincrypt.h>

#include <string>

namespace corvisk {

using ProtectFunction = decltype(&CryptProtectData);
using UnprotectFunction = decltype(&CryptUnprotectData);

// ERROR_SUCCESS and the protected blob, or the system's error.
DWORD ProtectSecret(const std::string& secret, std::string& blob, ProtectFunction protect = CryptProtectData);
DWORD UnprotectSecret(const std::string& blob, std::string& secret, UnprotectFunction unprotect = CryptUnprotectData);

}  // namespace corvisk
