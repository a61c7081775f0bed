// A QuendrySuppEmail whose mail always fails without a description, for the
// one failure the real server never produces. A test registers it in-process
// under the server's class for the length of one send.
#include <windows.h>

#include <new>

#include "common/ComObject.h"
#include "servers/QuendrySupp.h"

namespace {

using namespace corvisk;

LONG g_objects = 0;

class SilentSuppEmail final : public testbed::ComObject<testbed::VtableOnly<ISuppEmail>> {
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

namespace corvisk::testbed {

void LockModule() { InterlockedIncrement(&g_objects); }
void UnlockModule() { InterlockedDecrement(&g_objects); }

}  // namespace corvisk::testbed

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_SuppEmail)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, object);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }
