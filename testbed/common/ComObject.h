#pragma once
// The COM plumbing the testbed's objects share: a thread-safe reference
// count, QueryInterface over the interfaces an object names, IDispatch
// members that offer no type information (callers use the vtables), and a
// count of living objects that keeps the DLL loaded (each DLL defines
// LockModule and UnlockModule).
#include <oaidl.h>
#include <windows.h>

#include "win32/ExceptionBoundary.h"

namespace corvisk::testbed {

void LockModule();
void UnlockModule();

template <typename... Interfaces>
class ComObject : public Interfaces... {
 public:
  ComObject() { LockModule(); }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  virtual ~ComObject() { UnlockModule(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = Find(iid);
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 protected:
  // The object's interface pointer for iid, or null.
  virtual void* Find(REFIID iid) = 0;

 private:
  LONG references_ = 1;
};

// IDispatch for an interface whose callers go through its vtable only.
template <typename Interface>
class VtableOnly : public Interface {
 public:
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
};

}  // namespace corvisk::testbed
