#include "win32/ErrorInfo.h"

#include <oleauto.h>

#include "win32/AnsiText.h"
#include "win32/ComPtr.h"

namespace corvisk {

// The description a failing object left for the thread, if it offers rich
// error information for the interface that was called; empty otherwise.
// Call it right after the failed call: the thread holds only the latest.
std::string RichErrorDescription(IUnknown* object, REFIID iid) {
  com_ptr<ISupportErrorInfo> support;
  if (FAILED(object->QueryInterface(IID_ISupportErrorInfo, support.put_void())) || !support) return {};
  if (support->InterfaceSupportsErrorInfo(iid) != S_OK) return {};
  com_ptr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return {};
  unique_bstr description;
  if (FAILED(info->GetDescription(description.put()))) return {};
  return ToAnsi(description.get(), static_cast<int>(description.length()));
}

}  // namespace corvisk
