#pragma once
// One move-only owner per kind of Win32 handle. Resetting or destroying an
// owner never disturbs the thread's last error, so cleanup on a failure path
// cannot hide the error that caused it.
#include <windows.h>
#include <winsvc.h>

#include <utility>

namespace corvisk {

template <typename T, T None, typename Close>
class unique_any {
 public:
  unique_any() = default;
  explicit unique_any(T value) : value_(value) {}
  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;
  unique_any(unique_any&& other) noexcept : value_(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_any() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != None; }

  void reset(T value = None) {
    if (value_ != None) {
      const DWORD error = GetLastError();
      Close()(value_);
      SetLastError(error);
    }
    value_ = value;
  }
  [[nodiscard]] T release() { return std::exchange(value_, None); }
  // Frees the current value, then hands out its slot for an out argument.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = None;
};

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

// A file handle, for which INVALID_HANDLE_VALUE means none. Not a template
// argument: INVALID_HANDLE_VALUE is not a constant expression.
class unique_hfile {
 public:
  unique_hfile() = default;
  explicit unique_hfile(HANDLE value) : value_(value) {}
  unique_hfile(const unique_hfile&) = delete;
  unique_hfile& operator=(const unique_hfile&) = delete;
  unique_hfile(unique_hfile&& other) noexcept : value_(other.release()) {}
  unique_hfile& operator=(unique_hfile&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_hfile() { reset(); }

  HANDLE get() const { return value_; }
  explicit operator bool() const { return value_ != INVALID_HANDLE_VALUE; }
  void reset(HANDLE value = INVALID_HANDLE_VALUE) {
    if (value_ != INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      CloseHandle(value_);
      SetLastError(error);
    }
    value_ = value;
  }
  [[nodiscard]] HANDLE release() { return std::exchange(value_, INVALID_HANDLE_VALUE); }

 private:
  HANDLE value_ = INVALID_HANDLE_VALUE;
};

// Restores the thread's last error when the scope ends.
class LastErrorKeeper {
 public:
  LastErrorKeeper() : error_(GetLastError()) {}
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;
  ~LastErrorKeeper() { SetLastError(error_); }

 private:
  DWORD error_;
};

}  // namespace corvisk
