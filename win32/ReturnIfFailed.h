#pragma once
// Early return on a failed HRESULT, so a sequence of COM steps reads as its
// happy path.
#include <windows.h>

#define CORVISK_RETURN_IF_FAILED(expression)     \
  do {                                           \
    const HRESULT corvisk_hr_ = (expression);    \
    if (FAILED(corvisk_hr_)) return corvisk_hr_; \
  } while (false)
