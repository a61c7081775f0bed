#include "win32/PlatformVersion.h"

namespace corvisk {

PlatformVersion QueryPlatformVersion() {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  PlatformVersion version;
  if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) {
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.productType = info.wProductType;
  }
  return version;
}

}  // namespace corvisk
