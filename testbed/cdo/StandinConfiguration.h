#pragma once
// CDO's Configuration: a field collection of transport settings.
#include "FieldCollection.h"
#include "mail/CdoInterfaces.h"
#include "win32/ComObject.h"
#include "win32/ComPtr.h"

namespace corvisk::cdo_standin {

// Answered only by the stand-in's own configuration, so a message can tell
// it from a foreign one and read its committed fields without a recorded
// call.
inline constexpr IID kIidStandinConfiguration = {
    0xaf0295eb, 0xaf79, 0x40ea, {0x9f, 0x1c, 0xcd, 0x66, 0x4f, 0xb2, 0x82, 0x25}};

class CConfiguration final : public ComObject<VtableOnlyDispatch<CDO::IConfiguration>, ISupportErrorInfo> {
 public:
  CConfiguration() { fields_.reset(new CFieldCollection("Configuration.Fields")); }

  HRESULT STDMETHODCALLTYPE get_Fields(CDO::Fields** fields) override;
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

  // Members no caller of the stand-in uses.
  HRESULT STDMETHODCALLTYPE Load(CDO::CdoConfigSource, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetInterface(BSTR, IDispatch**) override { return E_NOTIMPL; }

  const CFieldCollection& Fields() const { return *fields_.get(); }

 protected:
  void* Find(REFIID iid) override;

 private:
  com_ptr<CFieldCollection> fields_;
};

}  // namespace corvisk::cdo_standin
