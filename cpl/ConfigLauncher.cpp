#include "cpl/ConfigLauncher.h"

#include <shellapi.h>

#include "common/Product.h"
#include "launch/RunningInstance.h"
#include "settings/RegistryText.h"
#include "settings/Settings.h"
#include "win32/Handles.h"

namespace corvisk {
namespace {

// A folder of up to 259 characters and its terminator.
constexpr DWORD kThePathSize = 260;

}  // namespace

std::string ConfigProgramPath() {
  unique_hkey key;
  std::string folder;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS ||
      ReadRegistryText(key.get(), "ThePath", kThePathSize, folder) != ERROR_SUCCESS || folder.empty())
    return kConfigFile;
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder + kConfigFile;
}

// Through the shell, which asks for the elevation the program's manifest
// requires. A failed start shows nothing: the control panel reports it.
LONG LaunchConfigProgram() {
  if (PulseRunningInstance()) return 0;
  const std::string program = ConfigProgramPath();
  SHELLEXECUTEINFOA execute{};
  execute.cbSize = sizeof execute;
  execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  execute.lpFile = program.c_str();
  execute.nShow = SW_SHOWNORMAL;
  return ShellExecuteExA(&execute) ? 0 : -1;
}

}  // namespace corvisk
