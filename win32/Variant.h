#pragma once
// An owner for a VARIANT: whatever it holds (a BSTR, an interface) is freed
// with VariantClear when the owner ends or is reset.
#include <oleauto.h>
#include <windows.h>

#include <cstring>

#include "win32/ComPtr.h"

namespace corvisk {

class unique_variant {
 public:
  unique_variant() { VariantInit(&value_); }
  unique_variant(const unique_variant&) = delete;
  unique_variant& operator=(const unique_variant&) = delete;
  unique_variant(unique_variant&& other) noexcept : unique_variant() { Swap(other); }
  unique_variant& operator=(unique_variant&& other) noexcept {
    if (this != &other) {
      reset();
      Swap(other);
    }
    return *this;
  }
  ~unique_variant() { reset(); }

  const VARIANT& get() const { return value_; }
  VARTYPE type() const { return value_.vt; }
  void reset() {
    const LastErrorKeeper keeper;
    VariantClear(&value_);
  }
  // Hands the value over to an out argument; the owner is left empty.
  [[nodiscard]] VARIANT release() {
    VARIANT value = value_;
    VariantInit(&value_);
    return value;
  }
  // Frees the current value, then hands out the VARIANT for an out argument.
  VARIANT* put() {
    reset();
    return &value_;
  }

  // Copies of another VARIANT's value, as is or converted. The platform
  // declares the source of both calls non-const but only reads it.
  HRESULT CopyFrom(const VARIANT& source) {
    reset();
    return VariantCopy(&value_, const_cast<VARIANT*>(&source));
  }
  HRESULT ConvertFrom(const VARIANT& source, VARTYPE type) {
    reset();
    return VariantChangeType(&value_, const_cast<VARIANT*>(&source), 0, type);
  }

  static unique_variant FromLong(LONG number) {
    unique_variant v;
    v.value_.vt = VT_I4;
    v.value_.lVal = number;
    return v;
  }
  static unique_variant FromShort(SHORT number) {
    unique_variant v;
    v.value_.vt = VT_I2;
    v.value_.iVal = number;
    return v;
  }
  // Takes the string over; a null string makes an empty VARIANT.
  static unique_variant FromBstr(unique_bstr text) {
    unique_variant v;
    if (text) {
      v.value_.vt = VT_BSTR;
      v.value_.bstrVal = text.release();
    }
    return v;
  }

 private:
  void Swap(unique_variant& other) noexcept {
    VARIANT held;
    std::memcpy(&held, &value_, sizeof held);
    std::memcpy(&value_, &other.value_, sizeof held);
    std::memcpy(&other.value_, &held, sizeof held);
  }

  VARIANT value_;
};

}  // namespace corvisk
