#pragma once
// Step-by-step calls through COM interfaces that report the way a COM error
// does: the failing call's HRESULT plus the description its object left.
#include <windows.h>

#include <string>

#include "win32/ComPtr.h"
#include "win32/ErrorInfo.h"

namespace corvisk {

// A call that succeeds but hands out no object fails as a call through the
// null pointer would.
template <typename T>
HRESULT NotNull(const com_ptr<T>& object) {
  return object ? S_OK : E_POINTER;
}

// Passes a call's result on; a failure also keeps the description that the
// called object left for the thread.
class CallCheck {
 public:
  template <typename T>
  HRESULT operator()(HRESULT result, T* object) {
    if (FAILED(result)) description_ = RichErrorDescription(object, __uuidof(T));
    return result;
  }
  // A call that hands out an object.
  template <typename T, typename U>
  HRESULT operator()(HRESULT result, T* object, const com_ptr<U>& handedOut) {
    return FAILED((*this)(result, object)) ? result : NotNull(handedOut);
  }
  const std::string& Description() const { return description_; }

 private:
  std::string description_;
};

}  // namespace corvisk
