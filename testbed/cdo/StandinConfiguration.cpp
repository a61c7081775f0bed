#include "StandinConfiguration.h"

#include "CallRecord.h"
#include "win32/ExceptionBoundary.h"

namespace corvisk::cdo_standin {

void* CConfiguration::Find(REFIID iid) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, CDO::IID_IConfiguration)) {
    return static_cast<CDO::IConfiguration*>(this);
  }
  if (IsEqualIID(iid, IID_ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
  if (IsEqualIID(iid, kIidStandinConfiguration)) return this;
  return nullptr;
}

HRESULT CConfiguration::InterfaceSupportsErrorInfo(REFIID iid) {
  return IsEqualIID(iid, CDO::IID_IConfiguration) ? S_OK : S_FALSE;
}

HRESULT CConfiguration::get_Fields(CDO::Fields** fields) {
  return ReturnHresult([&] {
    if (!fields) return E_POINTER;
    RecordCall("Configuration.get_Fields");
    fields_->AddRef();
    *fields = fields_.get();
    return S_OK;
  });
}

}  // namespace corvisk::cdo_standin
