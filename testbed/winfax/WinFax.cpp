// Stand-in for the fax service's client library: device provider registration
// only. The fax service keeps one key per provider under Device Providers;
// the values written here are the provider properties the fax service
// reports (friendly name, image name, telephony provider name).
#include <windows.h>

#include <cwchar>

#include "win32/Handles.h"

using corvisk::unique_hkey;

namespace {

constexpr wchar_t kProvidersKey[] = L"SOFTWARE\\Microsoft\\Fax\\Device Providers";
// The fax service is a 64-bit service on 64-bit Windows: the keys it keeps
// are in the 64-bit registry view, also when a 32-bit process registers a
// provider through this library.
constexpr REGSAM kServiceView = KEY_WOW64_64KEY;

// A provider name becomes one key name: it may not be empty or name a subkey.
bool IsProviderName(const wchar_t* name) { return name && *name && !std::wcschr(name, L'\\'); }

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

LSTATUS SetText(HKEY key, const wchar_t* name, DWORD type, const wchar_t* text) {
  const DWORD bytes = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
  return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text), bytes);
}

LSTATUS WriteProperties(HKEY key, const wchar_t* friendlyName, const wchar_t* imageName, const wchar_t* tspName) {
  LSTATUS status = SetText(key, L"FriendlyName", REG_SZ, friendlyName);
  // The image name may use environment variables such as %SystemRoot%.
  if (status == ERROR_SUCCESS) status = SetText(key, L"ImageName", REG_EXPAND_SZ, imageName);
  if (status == ERROR_SUCCESS) status = SetText(key, L"ProviderName", REG_SZ, tspName);
  return status;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

// Registers a device provider; an existing registration is left as it is and
// the call fails with ERROR_ALREADY_EXISTS.
extern "C" BOOL WINAPI FaxRegisterServiceProviderW(LPCWSTR deviceProvider, LPCWSTR friendlyName, LPCWSTR imageName,
                                                   LPCWSTR tspName) {
  if (!IsProviderName(deviceProvider) || !friendlyName || !imageName || !tspName) return Fail(ERROR_INVALID_PARAMETER);
  unique_hkey providers;
  LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProvidersKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_CREATE_SUB_KEY | kServiceView, nullptr, providers.put(), nullptr);
  if (status != ERROR_SUCCESS) return Fail(status);
  unique_hkey provider;
  DWORD disposition = 0;
  status = RegCreateKeyExW(providers.get(), deviceProvider, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS | kServiceView, nullptr, provider.put(), &disposition);
  if (status != ERROR_SUCCESS) return Fail(status);
  if (disposition == REG_OPENED_EXISTING_KEY) return Fail(ERROR_ALREADY_EXISTS);
  status = WriteProperties(provider.get(), friendlyName, imageName, tspName);
  if (status != ERROR_SUCCESS) {
    // No half-written registration stays behind.
    provider.reset();
    RegDeleteKeyExW(providers.get(), deviceProvider, kServiceView, 0);
    return Fail(status);
  }
  return TRUE;
}

// Removes a device provider's registration; an unknown provider fails with
// ERROR_FILE_NOT_FOUND, as its missing key does.
extern "C" BOOL WINAPI FaxUnregisterServiceProviderW(LPCWSTR deviceProvider) {
  if (!IsProviderName(deviceProvider)) return Fail(ERROR_INVALID_PARAMETER);
  unique_hkey providers;
  LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProvidersKey, 0, KEY_ALL_ACCESS | kServiceView, providers.put());
  if (status == ERROR_SUCCESS) status = RegDeleteTreeW(providers.get(), deviceProvider);
  if (status != ERROR_SUCCESS) return Fail(status);
  return TRUE;
}
