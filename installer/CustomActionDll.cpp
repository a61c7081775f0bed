// CorviskFSP_CA.dll: the installer's custom actions. CustomActionCommit is
// the one the provider DLL serves as well; the others look after the
// settings key from the installation script, elevated.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>

#include "common/SecureWipe.h"
#include "installer/SettingsKeyActions.h"
#include "installer/SilentSettings.h"
#include "launch/AppletStart.h"
#include "win32/ExceptionBoundary.h"

namespace {

// The deferred action that writes the silent-install settings; its action
// data is this property.
constexpr wchar_t kWriteSilentSettingsAction[] = L"WriteSilentSettings";

// A property's text; empty when it is not set.
std::wstring ReadProperty(MSIHANDLE install, const wchar_t* name) {
  wchar_t none[1] = L"";
  DWORD size = 0;
  if (MsiGetPropertyW(install, name, none, &size) != ERROR_MORE_DATA) return L"";
  std::wstring text(++size, L'\0');
  if (MsiGetPropertyW(install, name, text.data(), &size) != ERROR_SUCCESS) return L"";
  text.resize(size);
  return text;
}

// One line in the installer's log (an informational message).
void LogLine(MSIHANDLE install, const std::string& line) {
  PMSIHANDLE record = MsiCreateRecord(0);
  MsiRecordSetStringA(record, 0, line.c_str());
  MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
}

}  // namespace

// Always ERROR_SUCCESS: the action never fails the installation.
extern "C" UINT WINAPI CustomActionCommit(MSIHANDLE /*install*/) { return corvisk::StartAppletForInstaller(); }

// Fails the installation when the key cannot be secured: it is about to hold
// passwords.
extern "C" UINT WINAPI SecureSettingsKey(MSIHANDLE /*install*/) { return corvisk::SecureSettingsKey(); }

// The settings given to a silent installation, handed to the installation
// script as the action data of WriteSilentSettings (hidden from the log: it
// carries the gateway password). Immediate; sets nothing when none is given.
extern "C" UINT WINAPI GatherSilentSettings(MSIHANDLE install) {
  return corvisk::ReturnOnException(UINT{ERROR_INSTALL_FAILURE}, [&] {
    std::wstring gathered =
        corvisk::GatherSilentSettings([&](const wchar_t* property) { return ReadProperty(install, property); });
    if (gathered.empty()) return UINT{ERROR_SUCCESS};
    const UINT result = MsiSetPropertyW(install, kWriteSilentSettingsAction, gathered.c_str());
    corvisk::WipeText(gathered);
    return result;
  });
}

// Written here rather than through the Registry table: the installer writes
// a Registry row again at every repair, from properties no longer given.
extern "C" UINT WINAPI WriteSilentSettings(MSIHANDLE install) {
  return corvisk::ReturnOnException(UINT{ERROR_INSTALL_FAILURE}, [&] {
    std::wstring data = ReadProperty(install, L"CustomActionData");
    const UINT result =
        corvisk::WriteSilentSettings(data, [install](const std::string& line) { LogLine(install, line); });
    corvisk::WipeText(data);
    return result;
  });
}

extern "C" UINT WINAPI RemoveSettingsKey(MSIHANDLE /*install*/) { return corvisk::RemoveSettingsKey(); }
