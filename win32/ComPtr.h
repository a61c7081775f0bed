#pragma once
// Owners for COM interface pointers and BSTRs. Like every owner, resetting
// one keeps the thread's last error.
#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <utility>

#include "win32/LastError.h"

namespace corvisk {

template <typename T>
class com_ptr {
 public:
  com_ptr() = default;
  com_ptr(const com_ptr&) = delete;
  com_ptr& operator=(const com_ptr&) = delete;
  com_ptr(com_ptr&& other) noexcept : ptr_(other.release()) {}
  com_ptr& operator=(com_ptr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~com_ptr() { reset(); }

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  // Takes over a reference the caller already holds.
  void reset(T* ptr = nullptr) {
    if (ptr_) {
      const LastErrorKeeper keeper;
      ptr_->Release();
    }
    ptr_ = ptr;
  }
  [[nodiscard]] T* release() { return std::exchange(ptr_, nullptr); }
  T** put() {
    reset();
    return &ptr_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

 private:
  T* ptr_ = nullptr;
};

class unique_bstr {
 public:
  unique_bstr() = default;
  explicit unique_bstr(BSTR value) : value_(value) {}
  unique_bstr(const unique_bstr&) = delete;
  unique_bstr& operator=(const unique_bstr&) = delete;
  unique_bstr(unique_bstr&& other) noexcept : value_(other.release()) {}
  unique_bstr& operator=(unique_bstr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_bstr() { reset(); }

  BSTR get() const { return value_; }
  explicit operator bool() const { return value_ != nullptr; }
  UINT length() const { return value_ ? SysStringLen(value_) : 0; }
  void reset(BSTR value = nullptr) {
    if (value_) {
      const LastErrorKeeper keeper;
      SysFreeString(value_);
    }
    value_ = value;
  }
  [[nodiscard]] BSTR release() { return std::exchange(value_, nullptr); }
  BSTR* put() {
    reset();
    return &value_;
  }

 private:
  BSTR value_ = nullptr;
};

}  // namespace corvisk
