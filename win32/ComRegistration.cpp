#include "win32/ComRegistration.h"

#include <objbase.h>
#include <sddl.h>

#include <vector>

#include "win32/Handles.h"

namespace corvisk {
namespace {

struct KeyValue {
  std::wstring key;
  const wchar_t* name;
  std::wstring value;
};

// Owner and group are required by COM. Launch: execute, execute locally and
// activate locally (0xb); access: execute and execute locally (0x3).
constexpr wchar_t kLaunchPermission[] = L"O:BAG:BAD:(A;;0xb;;;BA)(A;;0xb;;;SY)(A;;0xb;;;NS)";
constexpr wchar_t kAccessPermission[] = L"O:BAG:BAD:(A;;0x3;;;BA)(A;;0x3;;;SY)(A;;0x3;;;NS)";

HRESULT WriteClassesValue(const KeyValue& entry) {
  unique_hkey handle;
  LSTATUS status =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, entry.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, handle.put(), nullptr);
  if (status == ERROR_SUCCESS) {
    const DWORD bytes = static_cast<DWORD>((entry.value.size() + 1) * sizeof(wchar_t));
    status =
        RegSetValueExW(handle.get(), entry.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(entry.value.c_str()), bytes);
  }
  return HRESULT_FROM_WIN32(status);
}

// A security descriptor, self-relative as COM reads it, from SDDL text.
HRESULT WritePermission(const std::wstring& key, const wchar_t* name, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ULONG size = 0;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, &size))
    return HRESULT_FROM_WIN32(GetLastError());
  const unique_hlocal owned(descriptor);
  unique_hkey handle;
  LSTATUS status =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, handle.put(), nullptr);
  if (status == ERROR_SUCCESS)
    status = RegSetValueExW(handle.get(), name, 0, REG_BINARY, static_cast<const BYTE*>(descriptor), size);
  return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteClassesKey(const std::wstring& key) {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(status);
  RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
  return S_OK;
}

}  // namespace

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = L"";
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH] = L"";
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  return std::wstring(path, length < MAX_PATH ? length : 0);
}

HRESULT RegisterComClass(const ClassRegistration& registration) {
  const std::wstring clsid = GuidText(registration.clsid);
  const std::wstring classKey = L"CLSID\\" + clsid;
  const std::wstring progId = registration.progId;
  std::vector<KeyValue> entries{{classKey, nullptr, registration.description}};
  if (registration.kind == ServerKind::InProcess) {
    entries.push_back({classKey + L"\\InprocServer32", nullptr, registration.modulePath});
    entries.push_back({classKey + L"\\InprocServer32", L"ThreadingModel", L"Both"});
  } else {
    entries.push_back({classKey + L"\\LocalServer32", nullptr, L"\"" + registration.modulePath + L"\""});
    entries.push_back({classKey, L"AppID", clsid});
    entries.push_back({L"AppID\\" + clsid, nullptr, registration.description});
  }
  entries.push_back({classKey + L"\\ProgID", nullptr, progId});
  if (registration.libid) entries.push_back({classKey + L"\\TypeLib", nullptr, GuidText(*registration.libid)});
  entries.push_back({progId, nullptr, registration.description});
  entries.push_back({progId + L"\\CLSID", nullptr, clsid});
  for (const KeyValue& entry : entries) {
    const HRESULT result = WriteClassesValue(entry);
    if (FAILED(result)) return result;
  }
  if (registration.kind == ServerKind::InProcess) return S_OK;
  const std::wstring appIdKey = L"AppID\\" + clsid;
  const HRESULT result = WritePermission(appIdKey, L"LaunchPermission", kLaunchPermission);
  return FAILED(result) ? result : WritePermission(appIdKey, L"AccessPermission", kAccessPermission);
}

HRESULT UnregisterComClass(const CLSID& clsid, const wchar_t* progId) {
  const std::wstring text = GuidText(clsid);
  for (const std::wstring& key : {L"CLSID\\" + text, L"AppID\\" + text, std::wstring(progId)}) {
    const HRESULT result = DeleteClassesKey(key);
    if (FAILED(result)) return result;
  }
  return S_OK;
}

}  // namespace corvisk
