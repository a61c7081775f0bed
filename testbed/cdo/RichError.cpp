#include "RichError.h"

#include <oleauto.h>

#include <utility>

#include "win32/AnsiText.h"
#include "win32/ComPtr.h"

namespace corvisk::cdo_standin {

Outcome Failure(HRESULT result, std::string description) { return Outcome{result, std::move(description)}; }

// Returns the outcome's HRESULT; a failure also leaves its description as
// the thread's error information, as CDO does for every failing call.
HRESULT ReportOutcome(const Outcome& outcome, REFIID iid) {
  if (SUCCEEDED(outcome.result)) return outcome.result;
  com_ptr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return outcome.result;
  std::wstring description = ToWide(outcome.description);
  std::wstring source = L"CDO.Message.1";
  create->SetGUID(iid);
  create->SetSource(source.data());
  create->SetDescription(description.data());
  com_ptr<IErrorInfo> info;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.put_void()))) SetErrorInfo(0, info.get());
  return outcome.result;
}

}  // namespace corvisk::cdo_standin
