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
  explicit ComApartment(Kind kind)
      : result_(kind == Multithreaded ? CoInitializeEx(nullptr, COINIT_MULTITHREADED) : CoInitialize(nullptr)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT result_;
};

}  // namespace corvisk
