#pragma once
// The local fax server's settings that the configuration program adjusts:
// the provider's device as a sending device (or the only one), and the
// banner. Two object models: the extended one of Windows XP and later, and
// the legacy fax server object of Windows 2000. Nothing is shown here; a
// failure returns FALSE and a one-line text, and what was done before it
// stays done.
#include <windows.h>

#include <string>

namespace corvisk {

enum class FaxObjectModel { Extended, Legacy };

// Enables sending on the provider's device, sets its receive mode and, with
// useOnly, disables sending on every other device. A missing provider
// device is no error. With useOnly, deviceIndex receives the device's
// zero-based position when it is found.
BOOL EnableProviderDevice(FaxObjectModel model, BOOL useOnly, BOOL receive, std::string& errorText,
                          LONG* deviceIndex = nullptr);

// Reads the banner setting into banner (read TRUE) or writes it from there.
BOOL AccessBanner(FaxObjectModel model, BOOL read, BOOL& banner, std::string& errorText);

}  // namespace corvisk
