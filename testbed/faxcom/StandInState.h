#pragma once
// The state of the fax COM stand-ins, kept in the registry so that a test
// process seeds it and reads it back while the objects run in any process.
// Under HKEY_LOCAL_MACHINE\SOFTWARE\CorviskTestbed\FaxServer:
//   Jobs\1, Jobs\2, ...      the outgoing queue in order: Id (text),
//                            DeviceId, Status (numbers), SenderEmail (text)
//   DefaultSenderEmail       what LoadDefaultSender gives a sender
//   Devices\1, ...           Name (text), Id, SendEnabled, ReceiveMode;
//                            Saves counts the device's Save calls
//   Branding, QueueSaves     the outgoing queue's banner flag and Save calls
//   Ports\1, ...             legacy ports: Name (text), DeviceId, Send, Receive
//   LegacyBranding           the legacy server's banner flag
//   Connected, LegacyConnected   the server name of the last Connect;
//                            Connects counts the extended server's Connects
//   Failures\<member>        makes that member fail with Result (a number,
//                            0 for "succeeds without an object") and, when
//                            present, the error description Description;
//                            the first Skip calls still succeed, and after
//                            Times failing calls (when given) it works again
// Jobs, devices and ports are read when listed; every write lands at once.
#include <unknwn.h>
#include <windows.h>

#include <oaidl.h>

#include <atomic>
#include <new>
#include <utility>
#include <optional>
#include <string>
#include <vector>

#include "win32/ComObject.h"

namespace corvisk::testbed::faxstandin {

inline constexpr wchar_t kStateKey[] = L"SOFTWARE\\CorviskTestbed\\FaxServer";

std::wstring ReadText(const std::wstring& key, const wchar_t* name);
DWORD ReadNumber(const std::wstring& key, const wchar_t* name, DWORD fallback = 0);
void WriteText(const std::wstring& key, const wchar_t* name, const std::wstring& value);
void WriteNumber(const std::wstring& key, const wchar_t* name, DWORD value);
// Removes the whole state: no jobs, devices, ports or failures.
void ClearState();
// "Jobs\1", "Jobs\2", ... for as long as they exist.
std::vector<std::wstring> NumberedKeys(const wchar_t* collection);

// The result a test set for the member, with its description left as the
// thread's error information; none when the member is to work.
std::optional<HRESULT> InjectedResult(const wchar_t* member, REFIID iid);

// An object that keeps the DLL loaded, with an IDispatch that offers no
// names (callers use the table) and rich error information for the one
// interface.
template <typename Interface>
class StandInObject : public ComObject<VtableOnlyDispatch<Interface>, ISupportErrorInfo> {
 public:
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == __uuidof(Interface) ? S_OK : S_FALSE;
  }

 protected:
  void* Find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Interface)) return static_cast<Interface*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }
  std::optional<HRESULT> Injected(const wchar_t* member) { return InjectedResult(member, __uuidof(Interface)); }
};

// Hands a new object's only reference to the caller.
template <typename T, typename Out, typename... Args>
HRESULT HandOut(Out** out, Args&&... args) {
  *out = new (std::nothrow) T(std::forward<Args>(args)...);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CopyText(const std::wstring& text, BSTR* out);

// A member that no caller of ours uses.
#define STANDIN_UNUSED(name, ...) \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }

}  // namespace corvisk::testbed::faxstandin
