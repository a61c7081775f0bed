#pragma once
// What the two helper programs share: registration, the class factory, the
// process lifetime and the dispatch half of their dual interfaces. Each
// program names its class and supplies its object; the rest is here.
#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <new>

#include "win32/ComPtr.h"
#include "win32/ExceptionBoundary.h"

namespace corvisk::servers {

struct ServerClass {
  const CLSID& clsid;
  const IID& iid;
  const GUID& libid;
  const wchar_t* progId;
  const wchar_t* description;  // "SuppDetails Class"
  // Makes a new object that answers through typeInfo's interface.
  HRESULT (*createObject)(ITypeInfo* typeInfo, REFIID iid, void** object);
};

// "-RegServer" and "-UnregServer" (also with "/", any letter case) register
// and unregister; anything else serves the class until its last object is
// gone. Returns the process exit code: 0, or the failing HRESULT.
int RunLocalServer(const ServerClass& server, const wchar_t* commandLine);

// Every live object and class factory lock keeps the process running.
void AddServerReference();
void ReleaseServerReference();

// IUnknown and IDispatch for an object whose interface is described by the
// program's type library; Derived implements the interface's own methods.
template <typename Interface>
class DispatchObject : public Interface {
 public:
  explicit DispatchObject(ITypeInfo* typeInfo) {
    typeInfo->AddRef();
    typeInfo_.reset(typeInfo);
    AddServerReference();
  }
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;
  virtual ~DispatchObject() { ReleaseServerReference(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Interface)) {
      *object = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

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

 private:
  std::atomic<ULONG> references_{1};
  com_ptr<ITypeInfo> typeInfo_;
};

// Creates a Derived for the caller; the caller's reference is the only one.
template <typename Derived>
HRESULT CreateDispatchObject(ITypeInfo* typeInfo, REFIID iid, void** object) {
  Derived* created = new (std::nothrow) Derived(typeInfo);
  if (!created) return E_OUTOFMEMORY;
  const HRESULT result = created->QueryInterface(iid, object);
  created->Release();
  return result;
}

}  // namespace corvisk::servers
