// QuendrySuppEmail.exe: submits mail through CDO under the identity the
// server runs with (NTLM against an Exchange server): callers pass no
// account name or password.
#include "common/Product.h"
#include "mail/CdoMessage.h"
#include "servers/LocalServer.h"
#include "servers/QuendrySupp.h"
#include "win32/AnsiText.h"

namespace corvisk::servers {

namespace {

std::string Narrow(BSTR text) { return ToAnsi(text, static_cast<int>(SysStringLen(text))); }

bool IsTrue(VARIANT_BOOL flag) { return flag != VARIANT_FALSE; }

// Hands the submission's error text back; none when it has nothing to say.
HRESULT ReturnError(HRESULT result, const std::string& text, BSTR* errorText) {
  if (!text.empty()) *errorText = ToBstr(text).release();
  return result;
}

class SuppEmail : public DispatchObject<ISuppEmail> {
 public:
  using DispatchObject::DispatchObject;

  HRESULT STDMETHODCALLTYPE GetVersion(BSTR* version) override {
    if (!version) return E_POINTER;
    return ReturnHresult([&] {
      *version = ToBstr(kVersionText).release();
      return *version ? S_OK : E_OUTOFMEMORY;
    });
  }

  HRESULT STDMETHODCALLTYPE GetAccountName(BSTR* account) override {
    if (!account) return E_POINTER;
    *account = nullptr;
    wchar_t name[257] = L"";
    DWORD length = ARRAYSIZE(name);
    if (!GetUserNameW(name, &length)) return HRESULT_FROM_WIN32(GetLastError());
    *account = SysAllocString(name);
    return *account ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT STDMETHODCALLTYPE SendMail(BSTR server, LONG port, LONG timeoutSeconds, BSTR to, BSTR from, BSTR subject,
                                     BSTR body, LONG notifyOnSuccess, LONG notifyOnFailure, LONG notifyOnDelay,
                                     VARIANT_BOOL ntlm, VARIANT_BOOL useSsl, VARIANT_BOOL usePickup,
                                     BSTR* errorText) override {
    if (!errorText) return E_POINTER;
    *errorText = nullptr;
    return ReturnHresult([&] {
      std::string error;
      const HRESULT result = SendCDOMessageNoHeader(
          "", "", Narrow(server).c_str(), Narrow(to).c_str(), Narrow(from).c_str(), Narrow(subject).c_str(),
          Narrow(body).c_str(), nullptr, notifyOnSuccess != 0, notifyOnFailure != 0, notifyOnDelay != 0, port,
          timeoutSeconds, IsTrue(ntlm), IsTrue(usePickup), error, IsTrue(useSsl));
      return ReturnError(result, error, errorText);
    });
  }

  HRESULT STDMETHODCALLTYPE SendFaxMail(BSTR server, LONG port, LONG timeoutSeconds, BSTR to, BSTR from, BSTR subject,
                                        BSTR attachment, BSTR headerName, BSTR headerValue, LONG notifyOnSuccess,
                                        LONG notifyOnFailure, LONG notifyOnDelay, VARIANT_BOOL ntlm,
                                        VARIANT_BOOL useSsl, VARIANT_BOOL usePickup, BSTR* errorText) override {
    if (!errorText) return E_POINTER;
    *errorText = nullptr;
    return ReturnHresult([&] {
      const std::wstring attachmentPath(attachment ? attachment : L"", SysStringLen(attachment));
      std::string error;
      const HRESULT result =
          SendCDOMessage("", "", Narrow(server).c_str(), Narrow(to).c_str(), Narrow(from).c_str(),
                         Narrow(subject).c_str(), "", attachmentPath.c_str(), Narrow(headerName).c_str(),
                         Narrow(headerValue).c_str(), notifyOnSuccess != 0, notifyOnFailure != 0, notifyOnDelay != 0,
                         port, timeoutSeconds, IsTrue(ntlm), IsTrue(usePickup), error, IsTrue(useSsl));
      return ReturnError(result, error, errorText);
    });
  }
};

const ServerClass kSuppEmail{CLSID_SuppEmail,           IID_ISuppEmail,
                             LIBID_QuendrySuppEmailLib, L"QuendrySuppEmail.SuppEmail",
                             L"SuppEmail Class",        &CreateServerObject<SuppEmail>};

}  // namespace

}  // namespace corvisk::servers

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return corvisk::servers::RunLocalServer(corvisk::servers::kSuppEmail, GetCommandLineW());
}
