#pragma once
// The fax service's extended COM automation interfaces (fxscomex.dll), slot
// for slot as the Windows SDK's faxcomex.h lays them out: every member is
// declared, in order, so a call through the table reaches the right one.
// MinGW-w64 has no such header. The legacy interfaces in FaxCom.h use the
// same names with other identifiers, so each set lives in its own namespace.
#include <oaidl.h>
#include <windows.h>

namespace faxcomex {

enum FAX_JOB_STATUS_ENUM {
  fjsPENDING = 0x1,
  fjsINPROGRESS = 0x2,
  fjsFAILED = 0x8,
  fjsPAUSED = 0x10,
  fjsNOLINE = 0x20,
  fjsRETRYING = 0x40,
  fjsRETRIES_EXCEEDED = 0x80,
  fjsCOMPLETED = 0x100,
  fjsCANCELED = 0x200,
  fjsCANCELING = 0x400,
  fjsROUTING = 0x800
};

enum FAX_DEVICE_RECEIVE_MODE_ENUM { fdrmNO_ANSWER = 0, fdrmAUTO_ANSWER = 1, fdrmMANUAL_ANSWER = 2 };

// Types of members that nothing here calls; only their size in an argument
// list matters, and each is a 32-bit enumeration.
enum FAX_JOB_EXTENDED_STATUS_ENUM : int;
enum FAX_JOB_OPERATIONS_ENUM : int;
enum FAX_RECEIPT_TYPE_ENUM : int;
enum FAX_PRIORITY_TYPE_ENUM : int;
enum FAX_SERVER_EVENTS_TYPE_ENUM : int;
enum FAX_SERVER_APIVERSION_ENUM : int;

struct IFaxDeviceProviders;
struct IFaxInboundRouting;
struct IFaxLoggingOptions;
struct IFaxActivity;
struct IFaxOutboundRouting;
struct IFaxReceiptOptions;
struct IFaxSecurity;
struct IFaxIncomingQueue;
struct IFaxIncomingArchive;
struct IFaxOutgoingArchive;
struct IFaxRecipient;
struct IFaxDevices;
struct IFaxDevice;
struct IFaxFolders;
struct IFaxOutgoingQueue;
struct IFaxOutgoingJobs;
struct IFaxOutgoingJob;
struct IFaxSender;

struct IFaxServer : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Connect(BSTR serverName) = 0;  // slot 7
  virtual HRESULT STDMETHODCALLTYPE get_ServerName(BSTR* serverName) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDeviceProviders(IFaxDeviceProviders** providers) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDevices(IFaxDevices** devices) = 0;  // slot 10
  virtual HRESULT STDMETHODCALLTYPE get_InboundRouting(IFaxInboundRouting** routing) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Folders(IFaxFolders** folders) = 0;  // slot 12
  virtual HRESULT STDMETHODCALLTYPE get_LoggingOptions(IFaxLoggingOptions** options) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MajorVersion(long* version) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MinorVersion(long* version) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MajorBuild(long* build) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MinorBuild(long* build) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Debug(VARIANT_BOOL* debug) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Activity(IFaxActivity** activity) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OutboundRouting(IFaxOutboundRouting** routing) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ReceiptOptions(IFaxReceiptOptions** options) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Security(IFaxSecurity** security) = 0;
  virtual HRESULT STDMETHODCALLTYPE Disconnect() = 0;  // slot 23
  virtual HRESULT STDMETHODCALLTYPE GetExtensionProperty(BSTR guid, VARIANT* property) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetExtensionProperty(BSTR guid, VARIANT property) = 0;
  virtual HRESULT STDMETHODCALLTYPE ListenToServerEvents(FAX_SERVER_EVENTS_TYPE_ENUM eventTypes) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterDeviceProvider(BSTR guid, BSTR friendlyName, BSTR imageName, BSTR tspName,
                                                           long fspiVersion) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnregisterDeviceProvider(BSTR uniqueName) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterInboundRoutingExtension(BSTR extensionName, BSTR friendlyName,
                                                                    BSTR imageName, VARIANT methods) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnregisterInboundRoutingExtension(BSTR extensionUniqueName) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RegisteredEvents(FAX_SERVER_EVENTS_TYPE_ENUM* eventTypes) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_APIVersion(FAX_SERVER_APIVERSION_ENUM* apiVersion) = 0;  // slot 32
};

struct IFaxDevices : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** enumerator) = 0;  // slot 7
  // A VT_I2 or VT_I4 index counts from 1; a VT_BSTR names the device.
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IFaxDevice** device) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Count(long* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ItemById(long id, IFaxDevice** device) = 0;  // slot 10
};

struct IFaxDevice : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Id(long* id) = 0;  // slot 7
  virtual HRESULT STDMETHODCALLTYPE get_DeviceName(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ProviderUniqueName(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PoweredOff(VARIANT_BOOL* poweredOff) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ReceivingNow(VARIANT_BOOL* receiving) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SendingNow(VARIANT_BOOL* sending) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UsedRoutingMethods(VARIANT* methods) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Description(BSTR* description) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Description(BSTR description) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SendEnabled(VARIANT_BOOL* enabled) = 0;  // slot 16
  virtual HRESULT STDMETHODCALLTYPE put_SendEnabled(VARIANT_BOOL enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ReceiveMode(FAX_DEVICE_RECEIVE_MODE_ENUM* mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ReceiveMode(FAX_DEVICE_RECEIVE_MODE_ENUM mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RingsBeforeAnswer(long* rings) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_RingsBeforeAnswer(long rings) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CSID(BSTR* csid) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CSID(BSTR csid) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TSID(BSTR* tsid) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_TSID(BSTR tsid) = 0;
  virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
  virtual HRESULT STDMETHODCALLTYPE Save() = 0;  // slot 27
  virtual HRESULT STDMETHODCALLTYPE GetExtensionProperty(BSTR guid, VARIANT* property) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetExtensionProperty(BSTR guid, VARIANT property) = 0;
  virtual HRESULT STDMETHODCALLTYPE UseRoutingMethod(BSTR methodGuid, VARIANT_BOOL use) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RingingNow(VARIANT_BOOL* ringing) = 0;
  virtual HRESULT STDMETHODCALLTYPE AnswerCall() = 0;  // slot 32
};

struct IFaxFolders : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_OutgoingQueue(IFaxOutgoingQueue** queue) = 0;  // slot 7
  virtual HRESULT STDMETHODCALLTYPE get_IncomingQueue(IFaxIncomingQueue** queue) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IncomingArchive(IFaxIncomingArchive** archive) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OutgoingArchive(IFaxOutgoingArchive** archive) = 0;  // slot 10
};

struct IFaxOutgoingQueue : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Blocked(VARIANT_BOOL* blocked) = 0;  // slot 7
  virtual HRESULT STDMETHODCALLTYPE put_Blocked(VARIANT_BOOL blocked) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Paused(VARIANT_BOOL* paused) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Paused(VARIANT_BOOL paused) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AllowPersonalCoverPages(VARIANT_BOOL* allow) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AllowPersonalCoverPages(VARIANT_BOOL allow) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UseDeviceTSID(VARIANT_BOOL* use) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UseDeviceTSID(VARIANT_BOOL use) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Retries(long* retries) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Retries(long retries) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RetryDelay(long* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_RetryDelay(long delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DiscountRateStart(DATE* start) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DiscountRateStart(DATE start) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DiscountRateEnd(DATE* end) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DiscountRateEnd(DATE end) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AgeLimit(long* days) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AgeLimit(long days) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Branding(VARIANT_BOOL* branding) = 0;  // slot 25
  virtual HRESULT STDMETHODCALLTYPE put_Branding(VARIANT_BOOL branding) = 0;
  virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
  virtual HRESULT STDMETHODCALLTYPE Save() = 0;                            // slot 28
  virtual HRESULT STDMETHODCALLTYPE GetJobs(IFaxOutgoingJobs** jobs) = 0;  // slot 29
  virtual HRESULT STDMETHODCALLTYPE GetJob(BSTR jobId, IFaxOutgoingJob** job) = 0;
};

struct IFaxOutgoingJobs : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** enumerator) = 0;  // slot 7
  // The index counts from 1.
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IFaxOutgoingJob** job) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Count(long* count) = 0;  // slot 9
};

struct IFaxOutgoingJob : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Subject(BSTR* subject) = 0;  // slot 7
  virtual HRESULT STDMETHODCALLTYPE get_DocumentName(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Pages(long* pages) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Size(long* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SubmissionId(BSTR* id) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Id(BSTR* id) = 0;  // slot 12
  virtual HRESULT STDMETHODCALLTYPE get_OriginalScheduledTime(DATE* time) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SubmissionTime(DATE* time) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ReceiptType(FAX_RECEIPT_TYPE_ENUM* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Priority(FAX_PRIORITY_TYPE_ENUM* priority) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Sender(IFaxSender** sender) = 0;  // slot 17
  virtual HRESULT STDMETHODCALLTYPE get_Recipient(IFaxRecipient** recipient) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentPage(long* page) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DeviceId(long* deviceId) = 0;             // slot 20
  virtual HRESULT STDMETHODCALLTYPE get_Status(FAX_JOB_STATUS_ENUM* status) = 0;  // slot 21
  virtual HRESULT STDMETHODCALLTYPE get_ExtendedStatusCode(FAX_JOB_EXTENDED_STATUS_ENUM* code) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ExtendedStatus(BSTR* status) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AvailableOperations(FAX_JOB_OPERATIONS_ENUM* operations) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Retries(long* retries) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ScheduledTime(DATE* time) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TransmissionStart(DATE* time) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TransmissionEnd(DATE* time) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CSID(BSTR* csid) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TSID(BSTR* tsid) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_GroupBroadcastReceipts(VARIANT_BOOL* grouped) = 0;
  virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
  virtual HRESULT STDMETHODCALLTYPE Resume() = 0;
  virtual HRESULT STDMETHODCALLTYPE Restart() = 0;
  virtual HRESULT STDMETHODCALLTYPE CopyTiff(BSTR tiffPath) = 0;
  virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;  // slot 37
};

struct IFaxSender : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_BillingCode(BSTR* value) = 0;  // slot 7
  virtual HRESULT STDMETHODCALLTYPE put_BillingCode(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_City(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_City(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Company(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Company(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Country(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Country(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Department(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Department(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Email(BSTR* value) = 0;  // slot 17
  virtual HRESULT STDMETHODCALLTYPE put_Email(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FaxNumber(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_FaxNumber(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HomePhone(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_HomePhone(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TSID(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_TSID(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OfficePhone(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_OfficePhone(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OfficeLocation(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_OfficeLocation(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_State(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_State(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_StreetAddress(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_StreetAddress(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Title(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Title(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ZipCode(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ZipCode(BSTR value) = 0;  // slot 38
  virtual HRESULT STDMETHODCALLTYPE LoadDefaultSender() = 0;      // slot 39
  virtual HRESULT STDMETHODCALLTYPE SaveDefaultSender() = 0;
};

// The FaxServer class; found through its ProgID.
inline constexpr CLSID CLSID_FaxServer = {0xCDA8ACB0, 0x8CF5, 0x4F6C, {0x9B, 0xA2, 0x59, 0x31, 0xD4, 0x0C, 0x8C, 0xAE}};
inline constexpr wchar_t kFaxServerProgId[] = L"FaxComEx.FaxServer";

}  // namespace faxcomex

__CRT_UUID_DECL(faxcomex::IFaxServer, 0x475B6469, 0x90A5, 0x4878, 0xA5, 0x77, 0x17, 0xA8, 0x6E, 0x8E, 0x34, 0x62)
__CRT_UUID_DECL(faxcomex::IFaxDevices, 0x9E46783E, 0xF34F, 0x482E, 0xA3, 0x60, 0x04, 0x16, 0xBE, 0xCB, 0xBD, 0x96)
__CRT_UUID_DECL(faxcomex::IFaxDevice, 0x49306C59, 0xB52E, 0x4867, 0x9D, 0xF4, 0xCA, 0x58, 0x41, 0xC9, 0x56, 0xD0)
__CRT_UUID_DECL(faxcomex::IFaxFolders, 0xDCE3B2A8, 0xA7AB, 0x42BC, 0x9D, 0x0A, 0x31, 0x49, 0x45, 0x72, 0x61, 0xA0)
__CRT_UUID_DECL(faxcomex::IFaxOutgoingQueue, 0x80B1DF24, 0xD9AC, 0x4333, 0xB3, 0x73, 0x48, 0x7C, 0xED, 0xC8, 0x0C, 0xE5)
__CRT_UUID_DECL(faxcomex::IFaxOutgoingJobs, 0x2C56D8E6, 0x8C2F, 0x4573, 0x94, 0x4C, 0xE5, 0x05, 0xF8, 0xF5, 0xAE, 0xED)
__CRT_UUID_DECL(faxcomex::IFaxOutgoingJob, 0x6356DAAD, 0x6614, 0x4583, 0xBF, 0x7A, 0x3A, 0xD6, 0x7B, 0xBF, 0xC7, 0x1C)
__CRT_UUID_DECL(faxcomex::IFaxSender, 0x0D879D7D, 0xF57A, 0x4CC6, 0xA6, 0xF9, 0x3E, 0xE5, 0xD5, 0x27, 0xB4, 0x6A)
