#pragma once
#include <objbase.h>

namespace corvisk {

// COM for the calling thread while one step runs. Only an initialisation
// that succeeded is undone: a thread already in an apartment of the other
// kind (RPC_E_CHANGED_MODE) keeps it, and one that was already in the same
// kind keeps its own count.
class ComApartment {
 public:
  enum Kind { SingleThreaded, Multithreaded };
  // Enters an apartment for good, on a thread that belongs to someone else.
  static HRESULT Enter(Kind kind) {
    return kind == Multithreaded ? CoInitializeEx(nullptr, COINIT_MULTITHREADED) : CoInitialize(nullptr);
  }
  explicit ComApartment(Kind kind) : result_(Enter(kind)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace corvisk
