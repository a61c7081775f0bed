// A QuendrySuppEmail whose mail always fails without a description, for the
// one failure the real server never produces. A test registers it in-process
// under the server's class for the length of one send.
#include <windows.h>

#include "servers/QuendrySupp.h"
#include "win32/ClassFactory.h"
#include "win32/InprocModule.h"

namespace {

using namespace corvisk;

class SilentSuppEmail final : public ComObject<VtableOnlyDispatch<ISuppEmail>> {
 public:
  HRESULT STDMETHODCALLTYPE GetVersion(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetAccountName(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SendMail(BSTR, LONG, LONG, BSTR, BSTR, BSTR, BSTR, LONG, LONG, LONG, VARIANT_BOOL,
                                     VARIANT_BOOL, VARIANT_BOOL, BSTR* errorText) override {
    return FailSilently(errorText);
  }
  HRESULT STDMETHODCALLTYPE SendFaxMail(BSTR, LONG, LONG, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, LONG, LONG, LONG,
                                        VARIANT_BOOL, VARIANT_BOOL, VARIANT_BOOL, BSTR* errorText) override {
    return FailSilently(errorText);
  }

 protected:
  void* Find(REFIID iid) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_ISuppEmail))
      return static_cast<ISuppEmail*>(this);
    return nullptr;
  }

 private:
  static HRESULT FailSilently(BSTR* errorText) {
    if (errorText) *errorText = nullptr;
    return E_FAIL;
  }
};

}  // namespace

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_SuppEmail)) return CLASS_E_CLASSNOTAVAILABLE;
  return ClassFactory::Create(
      [](REFIID wanted, void** created) { return CreateComObject<SilentSuppEmail>(wanted, created); }, iid, object);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return CanUnloadModule(); }
