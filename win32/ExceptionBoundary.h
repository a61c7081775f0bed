#pragma once
// The one place where exceptions stop: every export, COM method, window or
// dialog procedure and applet entry runs its body through one of these, so
// nothing thrown reaches the caller. Inside, results travel as values; the
// thread's last error is set here, at the boundary, and nowhere before.
#include <windows.h>

#include <new>
#include <string>

namespace corvisk {

// The body's result, or onException when anything is thrown. For window and
// dialog procedures, CPlApplet and installer actions.
template <typename Result, typename Body>
Result ReturnOnException(Result onException, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return onException;
  }
}

// The same, writing exceptionTrace to the debugger output on an exception.
template <typename Result, typename Body>
Result ReturnOnException(const char* exceptionTrace, Result onException, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    OutputDebugStringA(exceptionTrace);
    return onException;
  }
}

// A BOOL result and the last error that goes with it, carried as values.
struct BoolResult {
  BOOL value;
  DWORD error;
};

inline BoolResult ToBoolResult(BoolResult result) { return result; }
// An error code alone: 0 is success.
inline BoolResult ToBoolResult(DWORD error) { return {error == 0, error}; }

// BOOL plus last error. The body returns an error code (0 for success) or a
// BoolResult; the boundary sets the last error from it, as the last thing
// before returning. On an exception the result is FALSE: with an
// exceptionTrace, that text is written and the last error is E_UNEXPECTED;
// without one, the debugger output and the caller's last error stay as they
// were.
template <typename Body>
BOOL ReturnWithLastError(const char* exceptionTrace, Body&& body) noexcept {
  // Unwinding may itself change the last error.
  const DWORD errorOnEntry = GetLastError();
  BoolResult result{FALSE, errorOnEntry};
  try {
    result = ToBoolResult(body());
  } catch (...) {
    if (exceptionTrace) {
      OutputDebugStringA(exceptionTrace);
      result.error = static_cast<DWORD>(E_UNEXPECTED);
    }
  }
  SetLastError(result.error);
  return result.value;
}

// HRESULT, for COM methods: an allocation failure gives E_OUTOFMEMORY,
// anything else thrown E_UNEXPECTED.
template <typename Body>
HRESULT ReturnHresult(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// HRESULT plus one-line text: anything thrown gives E_UNEXPECTED with
// exceptionText as the text, or an empty text when even that cannot be
// stored.
template <typename Body>
HRESULT ReturnHresultWithText(std::string& text, const char* exceptionText, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    try {
      text = exceptionText;
    } catch (...) {
      text.clear();
    }
    return E_UNEXPECTED;
  }
}

// The same, appending exceptionText to whatever text the body had written
// before it threw, which stays in front; if even that cannot be stored, the
// text stays as it was.
template <typename Body>
HRESULT ReturnHresultAppendingText(std::string& text, const char* exceptionText, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    try {
      text += exceptionText;
    } catch (...) {
    }
    return E_UNEXPECTED;
  }
}

}  // namespace corvisk
