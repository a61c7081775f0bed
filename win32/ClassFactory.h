#pragma once
// The COM kit's class factory: one per served class, creating its objects
// through a function the module gives. A factory does not keep its module
// alive (the platform holds registered factories for the module's whole
// life); LockServer does.
#include <functional>
#include <utility>

#include "win32/ComObject.h"
#include "win32/ExceptionBoundary.h"

namespace corvisk {

class ClassFactory final : public RefCounted<IClassFactory> {
 public:
  using Creator = std::function<HRESULT(REFIID iid, void** object)>;

  explicit ClassFactory(Creator create) : create_(std::move(create)) {}

  // Hands out a new factory for create through the caller's iid.
  static HRESULT Create(Creator create, REFIID iid, void** object) {
    return ReturnHresult([&] { return CreateComObject<ClassFactory>(iid, object, std::move(create)); });
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return ReturnHresult([&] { return create_(iid, object); });
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      LockModule();
    else
      UnlockModule();
    return S_OK;
  }

 protected:
  void* Find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) return static_cast<IClassFactory*>(this);
    return nullptr;
  }

 private:
  Creator create_;
};

}  // namespace corvisk
