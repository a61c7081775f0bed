#pragma once
// The COM kit's objects: a thread-safe reference count with QueryInterface
// over the interfaces an object names, the two IDispatch halves our objects
// use (described by a type library, or vtable only), and creation that hands
// the caller the only reference. Live objects keep their module alive
// through LockModule and UnlockModule, which each kind of module defines
// (win32/InprocModule.cpp for DLLs, servers/LocalServer.cpp for programs).
#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <new>
#include <utility>

#include "win32/ComPtr.h"

namespace corvisk {

void LockModule();
void UnlockModule();

// IUnknown for the interfaces an object derives from; Find names them.
template <typename... Interfaces>
class RefCounted : public Interfaces... {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;
  virtual ~RefCounted() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = Find(iid);
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  // The object's interface pointer for iid, or null.
  virtual void* Find(REFIID iid) = 0;

 private:
  std::atomic<ULONG> references_{1};
};

// A reference-counted object that keeps its module alive while it lives.
template <typename... Interfaces>
class ComObject : public RefCounted<Interfaces...> {
 public:
  ComObject() { LockModule(); }
  ~ComObject() override { UnlockModule(); }
};

// IDispatch for an interface described by a type library: late-bound
// callers and the automation marshaler get names and calls from typeInfo.
template <typename Interface>
class TypeInfoDispatch : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    typeInfo_->AddRef();
    *info = typeInfo_.get();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    return DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argumentError) override {
    return DispInvoke(static_cast<Interface*>(this), typeInfo_.get(), id, flags, params, result, exception,
                      argumentError);
  }

 protected:
  void SetTypeInfo(ITypeInfo* typeInfo) {
    typeInfo->AddRef();
    typeInfo_.reset(typeInfo);
  }

 private:
  com_ptr<ITypeInfo> typeInfo_;
};

// IDispatch for an interface whose callers go through its vtable only.
template <typename Interface>
class VtableOnlyDispatch : public Interface {
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

// A dual interface's object whose IDispatch comes from the type library.
template <typename Interface>
class DispatchObject : public ComObject<TypeInfoDispatch<Interface>> {
 public:
  explicit DispatchObject(ITypeInfo* typeInfo) { this->SetTypeInfo(typeInfo); }

 protected:
  void* Find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Interface)) return static_cast<Interface*>(this);
    return nullptr;
  }
};

// Makes a T and hands the caller its interface iid; the caller's reference
// is the only one.
template <typename T, typename... Args>
HRESULT CreateComObject(REFIID iid, void** object, Args&&... args) {
  if (!object) return E_POINTER;
  *object = nullptr;
  T* created = new (std::nothrow) T(std::forward<Args>(args)...);
  if (!created) return E_OUTOFMEMORY;
  const HRESULT result = created->QueryInterface(iid, object);
  created->Release();
  return result;
}

}  // namespace corvisk
