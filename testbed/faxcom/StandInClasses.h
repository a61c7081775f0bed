#pragma once
// The two classes the stand-in DLL serves. Each is defined in a file of its
// own, beside the interface declarations it implements.
#include <windows.h>

#include "win32/ComObject.h"

namespace corvisk::testbed::faxstandin {

struct StandInClass {
  const CLSID& clsid;
  const wchar_t* progId;
  const wchar_t* description;
  HRESULT (*create)(REFIID iid, void** object);
};

extern const StandInClass kExtendedServer;  // "FaxComEx.FaxServer"
extern const StandInClass kLegacyServer;    // "FaxServer.FaxServer"

}  // namespace corvisk::testbed::faxstandin
