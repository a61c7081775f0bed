#pragma once
// The outcome of a request to a cloud mail service: an HRESULT and the
// administrator's text, S_OK and empty on success.
#include <windows.h>

#include <string>

namespace corvisk {

struct CloudOutcome {
  HRESULT result = S_OK;
  std::string text;
};

inline CloudOutcome CloudFailure(std::string text, HRESULT result = E_FAIL) {
  return CloudOutcome{result, std::move(text)};
}

}  // namespace corvisk
