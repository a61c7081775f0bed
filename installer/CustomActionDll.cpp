// CorviskFSP_CA.dll: the installer's custom actions. CustomActionCommit is
// the one the provider DLL serves as well; the others look after the
// settings key.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>

#include "common/SecureWipe.h"
#include "installer/SettingsKeyActions.h"
#include "installer/SilentSettings.h"
#include "launch/AppletStart.h"
#include "win32/AnsiText.h"
#include "win32/ExceptionBoundary.h"

namespace {

// The deferred action that writes the silent-install settings and the
// rollback action that puts back what it replaced; the action data of each
// is the property of its name.
constexpr wchar_t kWriteSilentSettingsAction[] = L"WriteSilentSettings";
constexpr wchar_t kWriteSilentSettingsRollback[] = L"WriteSilentSettingsRollback";

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

corvisk::SilentSettingsLog LogOf(MSIHANDLE install) {
  return [install](const std::string& line) { LogLine(install, line); };
}

// Both texts are ASCII.
UINT SetActionData(MSIHANDLE install, const wchar_t* action, const std::string& data) {
  return MsiSetPropertyW(install, action, corvisk::ToWide(data).c_str());
}

}  // namespace

// Always ERROR_SUCCESS: the action never fails the installation.
extern "C" UINT WINAPI CustomActionCommit(MSIHANDLE /*install*/) { return corvisk::StartAppletForInstaller(); }

// Fails the installation when the key cannot be secured: it is about to hold
// passwords.
extern "C" UINT WINAPI SecureSettingsKey(MSIHANDLE /*install*/) { return corvisk::SecureSettingsKey(); }

// Immediate, as the administrator who installs: reads the settings given to a
// silent installation and the files they name, and hands the installation
// script what WriteSilentSettings writes and what its rollback puts back,
// secrets protected. Sets nothing when none is given.
extern "C" UINT WINAPI GatherSilentSettings(MSIHANDLE install) {
  return corvisk::ReturnOnException(UINT{ERROR_INSTALL_FAILURE}, [&] {
    corvisk::GatheredSettings gathered;
    UINT result = corvisk::GatherSilentSettings(
        [&](const char* property) { return ReadProperty(install, corvisk::ToWide(property).c_str()); }, LogOf(install),
        gathered);
    if (result == ERROR_SUCCESS && !gathered.write.empty()) {
      result = SetActionData(install, kWriteSilentSettingsAction, gathered.write);
      if (result == ERROR_SUCCESS) result = SetActionData(install, kWriteSilentSettingsRollback, gathered.restore);
    }
    return result;
  });
}

// From the installation script, elevated: writes the values of its action
// data, the given settings for WriteSilentSettings and the earlier ones for
// its rollback action. Not Registry rows: the installer writes a Registry
// row again at every repair, from properties no longer given.
extern "C" UINT WINAPI WriteSilentSettings(MSIHANDLE install) {
  return corvisk::ReturnOnException(UINT{ERROR_INSTALL_FAILURE}, [&] {
    return corvisk::WriteSilentSettings(corvisk::ToAnsi(ReadProperty(install, L"CustomActionData")), LogOf(install));
  });
}

extern "C" UINT WINAPI RemoveSettingsKey(MSIHANDLE /*install*/) { return corvisk::RemoveSettingsKey(); }
