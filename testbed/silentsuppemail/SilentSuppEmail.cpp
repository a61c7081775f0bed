// A QuendrySuppEmail whose mail always fails without a description, for the
// one failure the real server never produces. A test registers it in-process
// under the server's class for the length of one send.
#include <windows.h>

#include <new>

#include "servers/QuendrySupp.h"

namespace {

class SilentSuppEmail final : public ISuppEmail {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, IID_ISuppEmail))
      return E_NOINTERFACE;
    *object = static_cast<ISuppEmail*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
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

 private:
  static HRESULT FailSilently(BSTR* errorText) {
    if (errorText) *errorText = nullptr;
    return E_FAIL;
  }

  LONG references_ = 1;
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* mail = new (std::nothrow) SilentSuppEmail;
    if (!mail) return E_OUTOFMEMORY;
    const HRESULT result = mail->QueryInterface(iid, object);
    mail->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

}  // namespace

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_SuppEmail)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, object);
}

// Stays loaded: the process that uses it is one test.
extern "C" HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }
