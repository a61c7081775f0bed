#pragma once
#include <windows.h>

namespace corvisk {

// The platform version as the extended version query reports it.
struct PlatformVersion {
  DWORD major = 0;
  DWORD minor = 0;
  BYTE productType = VER_NT_WORKSTATION;

  bool AtLeast(DWORD wantMajor, DWORD wantMinor) const {
    return major > wantMajor || (major == wantMajor && minor >= wantMinor);
  }
  bool IsServer() const { return productType != VER_NT_WORKSTATION; }
};

PlatformVersion QueryPlatformVersion();

}  // namespace corvisk
