#pragma once
// The COM kit's registration: a class under HKEY_CLASSES_ROOT with its
// server, ProgID and type library, and its removal.
#include <windows.h>

#include <string>

namespace corvisk {

enum class ServerKind { InProcess, LocalProgram };

struct ClassRegistration {
  const CLSID& clsid;
  const wchar_t* progId;
  const wchar_t* description;
  ServerKind kind;
  std::wstring modulePath;
  const GUID* libid = nullptr;  // the class's type library, if any
};

std::wstring GuidText(REFGUID guid);
// The full path of a module (null: the program), empty when it does not fit.
std::wstring ModulePath(HMODULE module);

// CLSID\{clsid} with its server key and ProgID (in-process servers with
// ThreadingModel "Both", programs by their quoted path), and the ProgID with
// its CLSID. A program also gets AppID\{clsid}, whose launch and access
// permissions admit only Administrators, SYSTEM and NETWORK SERVICE: the
// servers act under their own identity, so not every user may drive them.
// Returns the first failure.
HRESULT RegisterComClass(const ClassRegistration& registration);
// Removes the keys; what is already gone counts as removed.
HRESULT UnregisterComClass(const CLSID& clsid, const wchar_t* progId);

}  // namespace corvisk
