// The stand-in for the Windows 2000 fax server object ("FaxServer.FaxServer"):
// ports and the banner flag. Unlike the extended server it applies every
// change at once; there is no Save.
#include "StandInClasses.h"
#include "StandInState.h"
#include "platform/FaxCom.h"

namespace corvisk::testbed::faxstandin {

namespace {

using namespace faxcom;

// Puts a new object into a VARIANT as VT_DISPATCH.
template <typename T, typename... Args>
HRESULT HandOutDispatch(VARIANT* out, Args&&... args) {
  VariantInit(out);
  T* object = new (std::nothrow) T(std::forward<Args>(args)...);
  if (!object) return E_OUTOFMEMORY;
  out->vt = VT_DISPATCH;
  out->pdispVal = object;
  return S_OK;
}

class FaxPort : public StandInObject<IFaxPort> {
 public:
  explicit FaxPort(std::wstring key) : key_(std::move(key)) {}

  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
    if (const auto injected = Injected(L"PortName")) return *injected;
    return CopyText(ReadText(key_, L"Name"), name);
  }
  HRESULT STDMETHODCALLTYPE get_DeviceId(long* id) override {
    if (!id) return E_POINTER;
    *id = static_cast<long>(ReadNumber(key_, L"DeviceId"));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Send(BOOL* send) override {
    if (!send) return E_POINTER;
    *send = static_cast<BOOL>(ReadNumber(key_, L"Send"));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Send(BOOL send) override {
    if (const auto injected = Injected(L"PortSend")) return *injected;
    WriteNumber(key_, L"Send", static_cast<DWORD>(send));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Receive(BOOL* receive) override {
    if (!receive) return E_POINTER;
    *receive = static_cast<BOOL>(ReadNumber(key_, L"Receive"));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Receive(BOOL receive) override {
    if (const auto injected = Injected(L"PortReceive")) return *injected;
    WriteNumber(key_, L"Receive", static_cast<DWORD>(receive));
    return S_OK;
  }
  STANDIN_UNUSED(get_Rings, long*)
  STANDIN_UNUSED(put_Rings, long)
  STANDIN_UNUSED(get_Csid, BSTR*)
  STANDIN_UNUSED(put_Csid, BSTR)
  STANDIN_UNUSED(get_Tsid, BSTR*)
  STANDIN_UNUSED(put_Tsid, BSTR)
  STANDIN_UNUSED(get_Priority, long*)
  STANDIN_UNUSED(put_Priority, long)
  STANDIN_UNUSED(GetRoutingMethods, VARIANT*)
  STANDIN_UNUSED(get_CanModify, BOOL*)
  STANDIN_UNUSED(GetStatus, VARIANT*)

 private:
  std::wstring key_;
};

class FaxPorts : public StandInObject<IFaxPorts> {
 public:
  FaxPorts() : keys_(NumberedKeys(L"Ports")) {}

  HRESULT STDMETHODCALLTYPE get_Count(long* count) override {
    if (!count) return E_POINTER;
    if (const auto injected = Injected(L"PortCount")) return *injected;
    *count = static_cast<long>(keys_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Item(long index, VARIANT* port) override {
    if (!port) return E_POINTER;
    VariantInit(port);
    if (const auto injected = Injected(L"PortItem")) return *injected;
    if (index < 1 || static_cast<size_t>(index) > keys_.size()) return E_INVALIDARG;
    return HandOutDispatch<FaxPort>(port, keys_[static_cast<size_t>(index) - 1]);
  }

 private:
  std::vector<std::wstring> keys_;
};

class FaxServer : public StandInObject<IFaxServer> {
 public:
  HRESULT STDMETHODCALLTYPE Connect(BSTR serverName) override {
    if (const auto injected = Injected(L"LegacyConnect")) return *injected;
    WriteText(L"", L"LegacyConnected", serverName ? serverName : L"");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Disconnect() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPorts(VARIANT* ports) override {
    if (!ports) return E_POINTER;
    VariantInit(ports);
    if (const auto injected = Injected(L"GetPorts")) return *injected;
    return HandOutDispatch<FaxPorts>(ports);
  }
  HRESULT STDMETHODCALLTYPE get_Branding(BOOL* branding) override {
    if (!branding) return E_POINTER;
    if (const auto injected = Injected(L"get_LegacyBranding")) return *injected;
    *branding = static_cast<BOOL>(ReadNumber(L"", L"LegacyBranding"));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Branding(BOOL branding) override {
    if (const auto injected = Injected(L"put_LegacyBranding")) return *injected;
    WriteNumber(L"", L"LegacyBranding", static_cast<DWORD>(branding));
    return S_OK;
  }
  STANDIN_UNUSED(CreateDocument, BSTR, VARIANT*)
  STANDIN_UNUSED(GetJobs, VARIANT*)
  STANDIN_UNUSED(get_Retries, long*)
  STANDIN_UNUSED(put_Retries, long)
  STANDIN_UNUSED(get_RetryDelay, long*)
  STANDIN_UNUSED(put_RetryDelay, long)
  STANDIN_UNUSED(get_DirtyDays, long*)
  STANDIN_UNUSED(put_DirtyDays, long)
  STANDIN_UNUSED(get_UseDeviceTsid, BOOL*)
  STANDIN_UNUSED(put_UseDeviceTsid, BOOL)
  STANDIN_UNUSED(get_ServerCoverpage, BOOL*)
  STANDIN_UNUSED(put_ServerCoverpage, BOOL)
  STANDIN_UNUSED(get_PauseServerQueue, BOOL*)
  STANDIN_UNUSED(put_PauseServerQueue, BOOL)
  STANDIN_UNUSED(get_ArchiveOutboundFaxes, BOOL*)
  STANDIN_UNUSED(put_ArchiveOutboundFaxes, BOOL)
  STANDIN_UNUSED(get_ArchiveDirectory, BSTR*)
  STANDIN_UNUSED(put_ArchiveDirectory, BSTR)
  STANDIN_UNUSED(get_ServerMapiProfile, BSTR*)
  STANDIN_UNUSED(put_ServerMapiProfile, BSTR)
  STANDIN_UNUSED(get_DiscountRateStartHour, short*)
  STANDIN_UNUSED(put_DiscountRateStartHour, short)
  STANDIN_UNUSED(get_DiscountRateStartMinute, short*)
  STANDIN_UNUSED(put_DiscountRateStartMinute, short)
  STANDIN_UNUSED(get_DiscountRateEndHour, short*)
  STANDIN_UNUSED(put_DiscountRateEndHour, short)
  STANDIN_UNUSED(get_DiscountRateEndMinute, short*)
  STANDIN_UNUSED(put_DiscountRateEndMinute, short)
};

}  // namespace

const StandInClass kLegacyServer{faxcom::CLSID_FaxServer, faxcom::kFaxServerProgId, L"FaxServer (testbed)",
                                 &CreateComObject<FaxServer>};

}  // namespace corvisk::testbed::faxstandin
