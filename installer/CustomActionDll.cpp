// CorviskFSP_CA.dll: the installer's custom actions. CustomActionCommit is
// the one the provider DLL serves as well; the others look after the
// settings key from the installation script, elevated.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>

#include "installer/CustomAction.h"
#include "installer/SettingsKeyActions.h"
#include "win32/AnsiText.h"
#include "win32/ExceptionBoundary.h"

namespace {

// What the immediate part of a deferred action handed over for it.
std::wstring ActionData(MSIHANDLE install) {
  wchar_t none[1] = L"";
  DWORD size = 0;
  if (MsiGetPropertyW(install, L"CustomActionData", none, &size) != ERROR_MORE_DATA) return L"";
  std::wstring data(++size, L'\0');
  if (MsiGetPropertyW(install, L"CustomActionData", data.data(), &size) != ERROR_SUCCESS) return L"";
  data.resize(size);
  return data;
}

}  // namespace

// Always ERROR_SUCCESS: the action never fails the installation.
extern "C" UINT WINAPI CustomActionCommit(MSIHANDLE /*install*/) { return corvisk::StartAppletForInstaller(); }

// Fails the installation when the key cannot be secured: it is about to hold
// passwords.
extern "C" UINT WINAPI SecureSettingsKey(MSIHANDLE /*install*/) { return corvisk::SecureSettingsKey(); }

// The gateway password given to a silent installation. Written here rather
// than through the Registry table, whose action data the installer logs.
extern "C" UINT WINAPI WriteGatewayPassword(MSIHANDLE install) {
  return corvisk::ReturnOnException(UINT{ERROR_INSTALL_FAILURE}, [&] {
    return corvisk::WriteSettingsText("CorviskPwd", corvisk::ToAnsi(ActionData(install)));
  });
}

extern "C" UINT WINAPI RemoveSettingsKey(MSIHANDLE /*install*/) { return corvisk::RemoveSettingsKey(); }
