#pragma once
// One move-only owner per kind of Win32 handle. Resetting or destroying an
// owner never disturbs the thread's last error, so cleanup on a failure path
// cannot hide the error that caused it.
#include <windows.h>
#include <winsvc.h>

#include <utility>

#include "win32/LastError.h"

namespace corvisk {

// The owner of one value; Traits names the value that means none and how a
// value is released.
template <typename T, typename Traits>
class unique_resource {
 public:
  unique_resource() = default;
  explicit unique_resource(T value) : value_(value) {}
  unique_resource(const unique_resource&) = delete;
  unique_resource& operator=(const unique_resource&) = delete;
  unique_resource(unique_resource&& other) noexcept : value_(other.release()) {}
  unique_resource& operator=(unique_resource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_resource() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::None(); }

  void reset(T value = Traits::None()) {
    if (value_ != Traits::None()) {
      const LastErrorKeeper keeper;
      Traits::Close(value_);
    }
    value_ = value;
  }
  [[nodiscard]] T release() { return std::exchange(value_, Traits::None()); }
  // Frees the current value, then hands out its slot for an out argument.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = Traits::None();
};

template <typename T, T NoneValue, typename CloseFn>
struct ConstantNoneTraits {
  static T None() { return NoneValue; }
  static void Close(T value) { CloseFn()(value); }
};

// An owner whose "none" is a constant expression.
template <typename T, T None, typename Close>
using unique_any = unique_resource<T, ConstantNoneTraits<T, None, Close>>;

struct CloseHandleFn {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
struct RegCloseKeyFn {
  void operator()(HKEY h) const { RegCloseKey(h); }
};
struct FreeLibraryFn {
  void operator()(HMODULE h) const { FreeLibrary(h); }
};
struct LocalFreeFn {
  void operator()(HLOCAL h) const { LocalFree(h); }
};
struct CloseServiceHandleFn {
  void operator()(SC_HANDLE h) const { CloseServiceHandle(h); }
};
struct DeregisterEventSourceFn {
  void operator()(HANDLE h) const { DeregisterEventSource(h); }
};

// A handle for which NULL means none (processes, threads, events, ports).
using unique_handle = unique_any<HANDLE, nullptr, CloseHandleFn>;
using unique_hkey = unique_any<HKEY, nullptr, RegCloseKeyFn>;
using unique_hmodule = unique_any<HMODULE, nullptr, FreeLibraryFn>;
using unique_hlocal = unique_any<HLOCAL, nullptr, LocalFreeFn>;
using unique_schandle = unique_any<SC_HANDLE, nullptr, CloseServiceHandleFn>;
using unique_event_source = unique_any<HANDLE, nullptr, DeregisterEventSourceFn>;

// A file handle, for which INVALID_HANDLE_VALUE means none; not a constant
// expression, so it comes from a traits function.
struct FileHandleTraits {
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
using unique_hfile = unique_resource<HANDLE, FileHandleTraits>;

}  // namespace corvisk
