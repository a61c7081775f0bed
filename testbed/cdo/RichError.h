#pragma once
// CDO's failures come with a description for the caller's IErrorInfo.
#include <windows.h>

#include <string>

namespace corvisk::cdo_standin {

struct Outcome {
  HRESULT result = S_OK;
  std::string description;
};

Outcome Failure(HRESULT result, std::string description);
HRESULT ReportOutcome(const Outcome& outcome, REFIID iid);

}  // namespace corvisk::cdo_standin
