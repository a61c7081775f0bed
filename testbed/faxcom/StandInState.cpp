#include "StandInState.h"

#include <oleauto.h>

#include "win32/ComPtr.h"
#include "win32/Handles.h"

namespace corvisk::testbed::faxstandin {

namespace {

std::wstring FullKey(const std::wstring& key) {
  return key.empty() ? std::wstring(kStateKey) : std::wstring(kStateKey) + L"\\" + key;
}

bool OpenKey(const std::wstring& key, REGSAM access, unique_hkey& handle) {
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, FullKey(key).c_str(), 0, access, handle.put()) == ERROR_SUCCESS;
}

bool CreateKey(const std::wstring& key, unique_hkey& handle) {
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, FullKey(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, handle.put(),
                         nullptr) == ERROR_SUCCESS;
}

bool KeyExists(const std::wstring& key) {
  unique_hkey handle;
  return OpenKey(key, KEY_READ, handle);
}

void SetDescription(const std::wstring& description, REFIID iid) {
  corvisk::com_ptr<ICreateErrorInfo> created;
  if (FAILED(CreateErrorInfo(created.put())) || !created) return;
  created->SetGUID(iid);
  created->SetDescription(const_cast<wchar_t*>(description.c_str()));
  corvisk::com_ptr<IErrorInfo> info;
  if (SUCCEEDED(created->QueryInterface(IID_IErrorInfo, info.put_void()))) SetErrorInfo(0, info.get());
}

}  // namespace

std::wstring ReadText(const std::wstring& key, const wchar_t* name) {
  unique_hkey handle;
  if (!OpenKey(key, KEY_READ, handle)) return {};
  wchar_t value[1024] = L"";
  DWORD bytes = sizeof value - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(handle.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  return std::wstring(value, bytes / sizeof(wchar_t)).c_str();
}

DWORD ReadNumber(const std::wstring& key, const wchar_t* name, DWORD fallback) {
  unique_hkey handle;
  if (!OpenKey(key, KEY_READ, handle)) return fallback;
  DWORD value = 0, bytes = sizeof value, type = 0;
  if (RegQueryValueExW(handle.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return fallback;
  return value;
}

void WriteText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  unique_hkey handle;
  if (!CreateKey(key, handle)) return;
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  RegSetValueExW(handle.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
}

void WriteNumber(const std::wstring& key, const wchar_t* name, DWORD value) {
  unique_hkey handle;
  if (!CreateKey(key, handle)) return;
  RegSetValueExW(handle.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void ClearState() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kStateKey); }

std::vector<std::wstring> NumberedKeys(const wchar_t* collection) {
  std::vector<std::wstring> keys;
  for (int number = 1;; ++number) {
    std::wstring key = std::wstring(collection) + L"\\" + std::to_wstring(number);
    if (!KeyExists(key)) return keys;
    keys.push_back(std::move(key));
  }
}

std::optional<HRESULT> InjectedResult(const wchar_t* member, REFIID iid) {
  const std::wstring key = std::wstring(L"Failures\\") + member;
  if (!KeyExists(key)) return std::nullopt;
  // Counted calls let a failure strike in the middle of a caller's loop.
  if (const DWORD skip = ReadNumber(key, L"Skip"); skip > 0) {
    WriteNumber(key, L"Skip", skip - 1);
    return std::nullopt;
  }
  const std::wstring description = ReadText(key, L"Description");
  const auto result = static_cast<HRESULT>(ReadNumber(key, L"Result", static_cast<DWORD>(E_FAIL)));
  if (const DWORD times = ReadNumber(key, L"Times"); times == 1) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, FullKey(key).c_str());
  } else if (times > 1) {
    WriteNumber(key, L"Times", times - 1);
  }
  if (!description.empty()) SetDescription(description, iid);
  return result;
}

HRESULT CopyText(const std::wstring& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace corvisk::testbed::faxstandin
