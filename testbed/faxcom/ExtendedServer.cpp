// The stand-in for the fax service's extended COM server ("FaxComEx.FaxServer"):
// devices, the outgoing queue with its jobs and senders, and the banner flag.
#include "StandInClasses.h"

#include <array>

#include "StandInState.h"
#include "platform/FaxComEx.h"

namespace corvisk::testbed::faxstandin {

namespace {

using namespace faxcomex;

const HRESULT kNotConnected = HRESULT_FROM_WIN32(ERROR_NOT_CONNECTED);

// An index of type VT_I2 or VT_I4, from 1; zero when it is anything else.
size_t OneBasedIndex(const VARIANT& index) {
  if (index.vt == VT_I4 && index.lVal > 0) return static_cast<size_t>(index.lVal);
  if (index.vt == VT_I2 && index.iVal > 0) return static_cast<size_t>(index.iVal);
  return 0;
}

class FaxSender : public StandInObject<IFaxSender> {
 public:
  explicit FaxSender(std::wstring email) { fields_[kEmail] = std::move(email); }

#define SENDER_FIELD(Name, slot)                                     \
  HRESULT STDMETHODCALLTYPE get_##Name(BSTR* value) override {       \
    if (const auto injected = Injected(L"" #Name)) return *injected; \
    return CopyText(fields_[slot], value);                           \
  }                                                                  \
  HRESULT STDMETHODCALLTYPE put_##Name(BSTR value) override {        \
    fields_[slot] = value ? value : L"";                             \
    return S_OK;                                                     \
  }
  SENDER_FIELD(BillingCode, 0)
  SENDER_FIELD(City, 1)
  SENDER_FIELD(Company, 2)
  SENDER_FIELD(Country, 3)
  SENDER_FIELD(Department, 4)
  SENDER_FIELD(Email, 5)
  SENDER_FIELD(FaxNumber, 6)
  SENDER_FIELD(HomePhone, 7)
  SENDER_FIELD(Name, 8)
  SENDER_FIELD(TSID, 9)
  SENDER_FIELD(OfficePhone, 10)
  SENDER_FIELD(OfficeLocation, 11)
  SENDER_FIELD(State, 12)
  SENDER_FIELD(StreetAddress, 13)
  SENDER_FIELD(Title, 14)
  SENDER_FIELD(ZipCode, 15)
#undef SENDER_FIELD

  HRESULT STDMETHODCALLTYPE LoadDefaultSender() override {
    if (const auto injected = Injected(L"LoadDefaultSender")) return *injected;
    fields_[kEmail] = ReadText(L"", L"DefaultSenderEmail");
    return S_OK;
  }
  STANDIN_UNUSED(SaveDefaultSender)

 private:
  static constexpr size_t kEmail = 5;
  std::array<std::wstring, 16> fields_;
};

class FaxOutgoingJob : public StandInObject<IFaxOutgoingJob> {
 public:
  explicit FaxOutgoingJob(const std::wstring& key)
      : id_(ReadText(key, L"Id")),
        senderEmail_(ReadText(key, L"SenderEmail")),
        deviceId_(static_cast<long>(ReadNumber(key, L"DeviceId"))),
        status_(ReadNumber(key, L"Status")) {}

  HRESULT STDMETHODCALLTYPE get_Id(BSTR* id) override {
    if (const auto injected = Injected(L"Id")) return *injected;
    return CopyText(id_, id);
  }
  HRESULT STDMETHODCALLTYPE get_Sender(IFaxSender** sender) override {
    if (!sender) return E_POINTER;
    *sender = nullptr;
    if (const auto injected = Injected(L"Sender")) return *injected;
    return HandOut<FaxSender>(sender, senderEmail_);
  }
  HRESULT STDMETHODCALLTYPE get_DeviceId(long* deviceId) override {
    if (!deviceId) return E_POINTER;
    if (const auto injected = Injected(L"DeviceId")) return *injected;
    *deviceId = deviceId_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Status(FAX_JOB_STATUS_ENUM* status) override {
    if (!status) return E_POINTER;
    if (const auto injected = Injected(L"Status")) return *injected;
    *status = static_cast<FAX_JOB_STATUS_ENUM>(status_);
    return S_OK;
  }
  STANDIN_UNUSED(get_Subject, BSTR*)
  STANDIN_UNUSED(get_DocumentName, BSTR*)
  STANDIN_UNUSED(get_Pages, long*)
  STANDIN_UNUSED(get_Size, long*)
  STANDIN_UNUSED(get_SubmissionId, BSTR*)
  STANDIN_UNUSED(get_OriginalScheduledTime, DATE*)
  STANDIN_UNUSED(get_SubmissionTime, DATE*)
  STANDIN_UNUSED(get_ReceiptType, FAX_RECEIPT_TYPE_ENUM*)
  STANDIN_UNUSED(get_Priority, FAX_PRIORITY_TYPE_ENUM*)
  STANDIN_UNUSED(get_Recipient, IFaxRecipient**)
  STANDIN_UNUSED(get_CurrentPage, long*)
  STANDIN_UNUSED(get_ExtendedStatusCode, FAX_JOB_EXTENDED_STATUS_ENUM*)
  STANDIN_UNUSED(get_ExtendedStatus, BSTR*)
  STANDIN_UNUSED(get_AvailableOperations, FAX_JOB_OPERATIONS_ENUM*)
  STANDIN_UNUSED(get_Retries, long*)
  STANDIN_UNUSED(get_ScheduledTime, DATE*)
  STANDIN_UNUSED(get_TransmissionStart, DATE*)
  STANDIN_UNUSED(get_TransmissionEnd, DATE*)
  STANDIN_UNUSED(get_CSID, BSTR*)
  STANDIN_UNUSED(get_TSID, BSTR*)
  STANDIN_UNUSED(get_GroupBroadcastReceipts, VARIANT_BOOL*)
  STANDIN_UNUSED(Pause)
  STANDIN_UNUSED(Resume)
  STANDIN_UNUSED(Restart)
  STANDIN_UNUSED(CopyTiff, BSTR)
  STANDIN_UNUSED(Refresh)
  STANDIN_UNUSED(Cancel)

 private:
  std::wstring id_;
  std::wstring senderEmail_;
  long deviceId_;
  DWORD status_;
};

// The queue's jobs as they were listed when the collection was made.
class FaxOutgoingJobs : public StandInObject<IFaxOutgoingJobs> {
 public:
  FaxOutgoingJobs() : keys_(NumberedKeys(L"Jobs")) {}

  HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IFaxOutgoingJob** job) override {
    if (!job) return E_POINTER;
    *job = nullptr;
    if (const auto injected = Injected(L"Item")) return *injected;
    const size_t position = OneBasedIndex(index);
    if (position == 0 || position > keys_.size()) return E_INVALIDARG;
    return HandOut<FaxOutgoingJob>(job, keys_[position - 1]);
  }
  HRESULT STDMETHODCALLTYPE get_Count(long* count) override {
    if (!count) return E_POINTER;
    if (const auto injected = Injected(L"Count")) return *injected;
    *count = static_cast<long>(keys_.size());
    return S_OK;
  }
  STANDIN_UNUSED(get__NewEnum, IUnknown**)

 private:
  std::vector<std::wstring> keys_;
};

class FaxOutgoingQueue : public StandInObject<IFaxOutgoingQueue> {
 public:
  FaxOutgoingQueue() : branding_(ReadNumber(L"", L"Branding") != 0) {}

  HRESULT STDMETHODCALLTYPE get_Branding(VARIANT_BOOL* branding) override {
    if (!branding) return E_POINTER;
    if (const auto injected = Injected(L"get_Branding")) return *injected;
    *branding = branding_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Branding(VARIANT_BOOL branding) override {
    if (const auto injected = Injected(L"put_Branding")) return *injected;
    branding_ = branding != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Save() override {
    if (const auto injected = Injected(L"QueueSave")) return *injected;
    WriteNumber(L"", L"Branding", branding_ ? 1 : 0);
    WriteNumber(L"", L"QueueSaves", ReadNumber(L"", L"QueueSaves") + 1);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetJobs(IFaxOutgoingJobs** jobs) override {
    if (!jobs) return E_POINTER;
    *jobs = nullptr;
    if (const auto injected = Injected(L"GetJobs")) return *injected;
    return HandOut<FaxOutgoingJobs>(jobs);
  }
  STANDIN_UNUSED(get_Blocked, VARIANT_BOOL*)
  STANDIN_UNUSED(put_Blocked, VARIANT_BOOL)
  STANDIN_UNUSED(get_Paused, VARIANT_BOOL*)
  STANDIN_UNUSED(put_Paused, VARIANT_BOOL)
  STANDIN_UNUSED(get_AllowPersonalCoverPages, VARIANT_BOOL*)
  STANDIN_UNUSED(put_AllowPersonalCoverPages, VARIANT_BOOL)
  STANDIN_UNUSED(get_UseDeviceTSID, VARIANT_BOOL*)
  STANDIN_UNUSED(put_UseDeviceTSID, VARIANT_BOOL)
  STANDIN_UNUSED(get_Retries, long*)
  STANDIN_UNUSED(put_Retries, long)
  STANDIN_UNUSED(get_RetryDelay, long*)
  STANDIN_UNUSED(put_RetryDelay, long)
  STANDIN_UNUSED(get_DiscountRateStart, DATE*)
  STANDIN_UNUSED(put_DiscountRateStart, DATE)
  STANDIN_UNUSED(get_DiscountRateEnd, DATE*)
  STANDIN_UNUSED(put_DiscountRateEnd, DATE)
  STANDIN_UNUSED(get_AgeLimit, long*)
  STANDIN_UNUSED(put_AgeLimit, long)
  STANDIN_UNUSED(Refresh)
  STANDIN_UNUSED(GetJob, BSTR, IFaxOutgoingJob**)

 private:
  bool branding_;
};

class FaxFolders : public StandInObject<IFaxFolders> {
 public:
  HRESULT STDMETHODCALLTYPE get_OutgoingQueue(IFaxOutgoingQueue** queue) override {
    if (!queue) return E_POINTER;
    *queue = nullptr;
    if (const auto injected = Injected(L"OutgoingQueue")) return *injected;
    return HandOut<FaxOutgoingQueue>(queue);
  }
  STANDIN_UNUSED(get_IncomingQueue, IFaxIncomingQueue**)
  STANDIN_UNUSED(get_IncomingArchive, IFaxIncomingArchive**)
  STANDIN_UNUSED(get_OutgoingArchive, IFaxOutgoingArchive**)
};

// One device as it was listed; its settings reach the state at Save.
class FaxDevice : public StandInObject<IFaxDevice> {
 public:
  explicit FaxDevice(std::wstring key)
      : key_(std::move(key)),
        name_(ReadText(key_, L"Name")),
        id_(static_cast<long>(ReadNumber(key_, L"Id"))),
        sendEnabled_(ReadNumber(key_, L"SendEnabled") != 0),
        receiveMode_(ReadNumber(key_, L"ReceiveMode")) {}

  HRESULT STDMETHODCALLTYPE get_Id(long* id) override {
    if (!id) return E_POINTER;
    *id = id_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_DeviceName(BSTR* name) override {
    if (const auto injected = Injected(L"DeviceName")) return *injected;
    return CopyText(name_, name);
  }
  HRESULT STDMETHODCALLTYPE get_SendEnabled(VARIANT_BOOL* enabled) override {
    if (!enabled) return E_POINTER;
    *enabled = sendEnabled_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_SendEnabled(VARIANT_BOOL enabled) override {
    if (const auto injected = Injected(L"SendEnabled")) return *injected;
    sendEnabled_ = enabled != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ReceiveMode(FAX_DEVICE_RECEIVE_MODE_ENUM* mode) override {
    if (!mode) return E_POINTER;
    *mode = static_cast<FAX_DEVICE_RECEIVE_MODE_ENUM>(receiveMode_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_ReceiveMode(FAX_DEVICE_RECEIVE_MODE_ENUM mode) override {
    if (const auto injected = Injected(L"ReceiveMode")) return *injected;
    receiveMode_ = static_cast<DWORD>(mode);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Save() override {
    if (const auto injected = Injected(L"DeviceSave")) return *injected;
    WriteNumber(key_, L"SendEnabled", sendEnabled_ ? 1 : 0);
    WriteNumber(key_, L"ReceiveMode", receiveMode_);
    WriteNumber(key_, L"Saves", ReadNumber(key_, L"Saves") + 1);
    return S_OK;
  }
  STANDIN_UNUSED(get_ProviderUniqueName, BSTR*)
  STANDIN_UNUSED(get_PoweredOff, VARIANT_BOOL*)
  STANDIN_UNUSED(get_ReceivingNow, VARIANT_BOOL*)
  STANDIN_UNUSED(get_SendingNow, VARIANT_BOOL*)
  STANDIN_UNUSED(get_UsedRoutingMethods, VARIANT*)
  STANDIN_UNUSED(get_Description, BSTR*)
  STANDIN_UNUSED(put_Description, BSTR)
  STANDIN_UNUSED(get_RingsBeforeAnswer, long*)
  STANDIN_UNUSED(put_RingsBeforeAnswer, long)
  STANDIN_UNUSED(get_CSID, BSTR*)
  STANDIN_UNUSED(put_CSID, BSTR)
  STANDIN_UNUSED(get_TSID, BSTR*)
  STANDIN_UNUSED(put_TSID, BSTR)
  STANDIN_UNUSED(Refresh)
  STANDIN_UNUSED(GetExtensionProperty, BSTR, VARIANT*)
  STANDIN_UNUSED(SetExtensionProperty, BSTR, VARIANT)
  STANDIN_UNUSED(UseRoutingMethod, BSTR, VARIANT_BOOL)
  STANDIN_UNUSED(get_RingingNow, VARIANT_BOOL*)
  STANDIN_UNUSED(AnswerCall)

 private:
  std::wstring key_;
  std::wstring name_;
  long id_;
  bool sendEnabled_;
  DWORD receiveMode_;
};

class FaxDevices : public StandInObject<IFaxDevices> {
 public:
  FaxDevices() : keys_(NumberedKeys(L"Devices")) {}

  HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IFaxDevice** device) override {
    if (!device) return E_POINTER;
    *device = nullptr;
    if (const auto injected = Injected(L"DeviceItem")) return *injected;
    const size_t position = OneBasedIndex(index);
    if (position == 0 || position > keys_.size()) return E_INVALIDARG;
    return HandOut<FaxDevice>(device, keys_[position - 1]);
  }
  HRESULT STDMETHODCALLTYPE get_Count(long* count) override {
    if (!count) return E_POINTER;
    if (const auto injected = Injected(L"DeviceCount")) return *injected;
    *count = static_cast<long>(keys_.size());
    return S_OK;
  }
  STANDIN_UNUSED(get__NewEnum, IUnknown**)
  STANDIN_UNUSED(get_ItemById, long, IFaxDevice**)

 private:
  std::vector<std::wstring> keys_;
};

class FaxServer : public StandInObject<IFaxServer> {
 public:
  HRESULT STDMETHODCALLTYPE Connect(BSTR serverName) override {
    if (const auto injected = Injected(L"Connect")) return *injected;
    WriteText(L"", L"Connected", serverName ? serverName : L"");
    WriteNumber(L"", L"Connects", ReadNumber(L"", L"Connects") + 1);
    connected_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDevices(IFaxDevices** devices) override {
    if (!devices) return E_POINTER;
    *devices = nullptr;
    if (!connected_) return kNotConnected;
    if (const auto injected = Injected(L"GetDevices")) return *injected;
    return HandOut<FaxDevices>(devices);
  }
  HRESULT STDMETHODCALLTYPE get_Folders(IFaxFolders** folders) override {
    if (!folders) return E_POINTER;
    *folders = nullptr;
    if (!connected_) return kNotConnected;
    if (const auto injected = Injected(L"Folders")) return *injected;
    return HandOut<FaxFolders>(folders);
  }
  HRESULT STDMETHODCALLTYPE Disconnect() override {
    connected_ = false;
    return S_OK;
  }
  STANDIN_UNUSED(get_ServerName, BSTR*)
  STANDIN_UNUSED(GetDeviceProviders, IFaxDeviceProviders**)
  STANDIN_UNUSED(get_InboundRouting, IFaxInboundRouting**)
  STANDIN_UNUSED(get_LoggingOptions, IFaxLoggingOptions**)
  STANDIN_UNUSED(get_MajorVersion, long*)
  STANDIN_UNUSED(get_MinorVersion, long*)
  STANDIN_UNUSED(get_MajorBuild, long*)
  STANDIN_UNUSED(get_MinorBuild, long*)
  STANDIN_UNUSED(get_Debug, VARIANT_BOOL*)
  STANDIN_UNUSED(get_Activity, IFaxActivity**)
  STANDIN_UNUSED(get_OutboundRouting, IFaxOutboundRouting**)
  STANDIN_UNUSED(get_ReceiptOptions, IFaxReceiptOptions**)
  STANDIN_UNUSED(get_Security, IFaxSecurity**)
  STANDIN_UNUSED(GetExtensionProperty, BSTR, VARIANT*)
  STANDIN_UNUSED(SetExtensionProperty, BSTR, VARIANT)
  STANDIN_UNUSED(ListenToServerEvents, FAX_SERVER_EVENTS_TYPE_ENUM)
  STANDIN_UNUSED(RegisterDeviceProvider, BSTR, BSTR, BSTR, BSTR, long)
  STANDIN_UNUSED(UnregisterDeviceProvider, BSTR)
  STANDIN_UNUSED(RegisterInboundRoutingExtension, BSTR, BSTR, BSTR, VARIANT)
  STANDIN_UNUSED(UnregisterInboundRoutingExtension, BSTR)
  STANDIN_UNUSED(get_RegisteredEvents, FAX_SERVER_EVENTS_TYPE_ENUM*)
  STANDIN_UNUSED(get_APIVersion, FAX_SERVER_APIVERSION_ENUM*)

 private:
  bool connected_ = false;
};

}  // namespace

const StandInClass kExtendedServer{faxcomex::CLSID_FaxServer, faxcomex::kFaxServerProgId,
                                   L"FaxComEx FaxServer (testbed)", &CreateComObject<FaxServer>};

}  // namespace corvisk::testbed::faxstandin
