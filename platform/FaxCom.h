#pragma once
// The legacy fax COM automation interfaces of Windows 2000 (faxcom.dll),
// slot for slot as the Windows SDK's faxcom.h lays them out. Their names
// are those of FaxComEx.h with other identifiers, so each set lives in its
// own namespace. Branding, Send and Receive are Win32 BOOLs here, not
// VARIANT_BOOLs.
#include <oaidl.h>
#include <windows.h>

namespace faxcom {

struct IFaxServer : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Connect(BSTR serverName) = 0;  // slot 7
  virtual HRESULT STDMETHODCALLTYPE Disconnect() = 0;
  // A VARIANT holding the ports object as VT_DISPATCH.
  virtual HRESULT STDMETHODCALLTYPE GetPorts(VARIANT* ports) = 0;  // slot 9
  virtual HRESULT STDMETHODCALLTYPE CreateDocument(BSTR fileName, VARIANT* document) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetJobs(VARIANT* jobs) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Retries(long* retries) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Retries(long retries) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RetryDelay(long* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_RetryDelay(long delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DirtyDays(long* days) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DirtyDays(long days) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Branding(BOOL* branding) = 0;  // slot 18
  virtual HRESULT STDMETHODCALLTYPE put_Branding(BOOL branding) = 0;   // slot 19
  virtual HRESULT STDMETHODCALLTYPE get_UseDeviceTsid(BOOL* use) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UseDeviceTsid(BOOL use) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ServerCoverpage(BOOL* use) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ServerCoverpage(BOOL use) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PauseServerQueue(BOOL* paused) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_PauseServerQueue(BOOL paused) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ArchiveOutboundFaxes(BOOL* archive) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ArchiveOutboundFaxes(BOOL archive) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ArchiveDirectory(BSTR* folder) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ArchiveDirectory(BSTR folder) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ServerMapiProfile(BSTR* profile) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ServerMapiProfile(BSTR profile) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DiscountRateStartHour(short* hour) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DiscountRateStartHour(short hour) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DiscountRateStartMinute(short* minute) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DiscountRateStartMinute(short minute) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DiscountRateEndHour(short* hour) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DiscountRateEndHour(short hour) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DiscountRateEndMinute(short* minute) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DiscountRateEndMinute(short minute) = 0;  // slot 39
};

struct IFaxPorts : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Count(long* count) = 0;  // slot 7
  // The index counts from 1; the port comes as VT_DISPATCH.
  virtual HRESULT STDMETHODCALLTYPE get_Item(long index, VARIANT* port) = 0;  // slot 8
};

struct IFaxPort : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;  // slot 7
  virtual HRESULT STDMETHODCALLTYPE get_DeviceId(long* id) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Rings(long* rings) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Rings(long rings) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Csid(BSTR* csid) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Csid(BSTR csid) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Tsid(BSTR* tsid) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Tsid(BSTR tsid) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Send(BOOL* send) = 0;  // slot 15
  virtual HRESULT STDMETHODCALLTYPE put_Send(BOOL send) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Receive(BOOL* receive) = 0;  // slot 17
  virtual HRESULT STDMETHODCALLTYPE put_Receive(BOOL receive) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Priority(long* priority) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Priority(long priority) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRoutingMethods(VARIANT* methods) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CanModify(BOOL* canModify) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStatus(VARIANT* status) = 0;  // slot 23
};

// The FaxServer class; found through its ProgID.
inline constexpr CLSID CLSID_FaxServer = {0xD73733C8, 0xCC80, 0x11D0, {0xB2, 0x25, 0x00, 0xC0, 0x4F, 0xB6, 0xC2, 0xF5}};
inline constexpr wchar_t kFaxServerProgId[] = L"FaxServer.FaxServer";

}  // namespace faxcom

__CRT_UUID_DECL(faxcom::IFaxServer, 0xD73733C7, 0xCC80, 0x11D0, 0xB2, 0x25, 0x00, 0xC0, 0x4F, 0xB6, 0xC2, 0xF5)
__CRT_UUID_DECL(faxcom::IFaxPorts, 0xD73733D5, 0xCC80, 0x11D0, 0xB2, 0x25, 0x00, 0xC0, 0x4F, 0xB6, 0xC2, 0xF5)
__CRT_UUID_DECL(faxcom::IFaxPort, 0xD73733CC, 0xCC80, 0x11D0, 0xB2, 0x25, 0x00, 0xC0, 0x4F, 0xB6, 0xC2, 0xF5)
