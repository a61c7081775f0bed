// CorviskFSP_CA.dll: the installer's custom actions. CustomActionCommit is
// the one the provider DLL serves as well; the others look after the
// settings key from the installation script, elevated.
#include <windows.h>
#include <msi.h>

#include "installer/CustomAction.h"
#include "installer/SettingsKeyActions.h"

// Always ERROR_SUCCESS: the action never fails the installation.
extern "C" UINT WINAPI CustomActionCommit(MSIHANDLE /*install*/) { return corvisk::StartAppletForInstaller(); }

// Fails the installation when the key cannot be secured: it is about to hold
// passwords.
extern "C" UINT WINAPI SecureSettingsKey(MSIHANDLE /*install*/) { return corvisk::SecureSettingsKey(); }

extern "C" UINT WINAPI RemoveSettingsKey(MSIHANDLE /*install*/) { return corvisk::RemoveSettingsKey(); }
