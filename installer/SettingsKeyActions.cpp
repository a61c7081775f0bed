#include "installer/SettingsKeyActions.h"

#include <sddl.h>

#include "settings/Settings.h"
#include "win32/Handles.h"

namespace corvisk {
namespace {

// Protected from the inherited HKLM\SOFTWARE list, which lets every user
// read; subkeys inherit this one.
constexpr char kSettingsKeyAccess[] = "D:P(A;CI;KA;;;BA)(A;CI;KA;;;SY)(A;CI;KR;;;NS)";
constexpr char kVendorKeyPath[] = "SOFTWARE\\Mervale";

}  // namespace

UINT SecureSettingsKey() noexcept {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kSettingsKeyAccess, SDDL_REVISION_1, &descriptor, nullptr))
    return GetLastError();
  const unique_hlocal owned(descriptor);
  unique_hkey key;
  const LONG opened = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      WRITE_DAC, nullptr, key.put(), nullptr);
  if (opened != ERROR_SUCCESS) return static_cast<UINT>(opened);
  return static_cast<UINT>(RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor));
}

UINT RemoveSettingsKey() noexcept {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
  // Fails, as it should, while another product of the vendor has a key there.
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVendorKeyPath);
  return ERROR_SUCCESS;
}

}  // namespace corvisk
