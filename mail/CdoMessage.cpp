#include "mail/CdoMessage.h"

#include "common/ComErrorText.h"
#include "mail/CdoInterfaces.h"
#include "win32/AnsiText.h"
#include "win32/ComPtr.h"
#include "win32/ErrorInfo.h"
#include "win32/ExceptionBoundary.h"
#include "win32/ReturnIfFailed.h"
#include "win32/SystemMessage.h"
#include "win32/Variant.h"

namespace corvisk {

namespace {

static_assert(CLSCTX_ALL == 0x17, "CDO objects are created with every class context");

constexpr char kExceptionText[] = "SendCDOMessage() - exception";

struct MessageArguments {
  const char* userName;
  const char* password;
  const char* server;
  const char* to;
  const char* from;
  const char* subject;
  const char* body;
  const wchar_t* attachment;
  const char* headerName;
  const char* headerValue;
  bool notifyOnSuccess;
  bool notifyOnFailure;
  bool notifyOnDelay;
  LONG port;
  LONG timeoutSeconds;
  bool ntlm;
  bool usePickup;
  bool useSsl;
};

using MessageTextSetter = HRESULT (STDMETHODCALLTYPE CDO::IMessage::*)(BSTR);

// A null narrow text counts as empty.
const char* TextOrEmpty(const char* text) { return text ? text : ""; }

bool IsEmpty(const char* text) { return !text || !*text; }

// An object creation that finds no such interface leaves a null object; the
// failure shows at the object's first use, as E_POINTER.
HRESULT CreateObject(REFCLSID clsid, REFIID iid, void** object) {
  const HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, object);
  return result == E_NOINTERFACE ? S_OK : result;
}

template <typename T>
HRESULT NotNull(const com_ptr<T>& object) {
  return object ? S_OK : E_POINTER;
}

// 2 for NTLM; 1 (basic) when there is a user name, whatever the password;
// 0 (anonymous) otherwise, whatever the password.
LONG AuthenticationMethod(const MessageArguments& args) {
  if (args.ntlm) return CDO::cdoNTLM;
  return IsEmpty(args.userName) ? CDO::cdoAnonymous : CDO::cdoBasic;
}

// The sum of the delivery notifications asked for.
int DeliveryNoticeOptions(const MessageArguments& args) {
  return (args.notifyOnSuccess ? CDO::cdoDSNSuccess : 0) + (args.notifyOnFailure ? CDO::cdoDSNFailure : 0) +
         (args.notifyOnDelay ? CDO::cdoDSNDelay : 0);
}

// One submission: the CDO objects it creates and the description of the
// step that failed. The steps run in a fixed order and stop at the first
// failure; the objects are released when the submission ends.
class CdoSubmission {
 public:
  explicit CdoSubmission(const MessageArguments& args) : args_(args) {}

  HRESULT Submit();
  const std::string& FailureDescription() const { return description_; }

 private:
  HRESULT CreateObjects();
  HRESULT WriteConfiguration();
  HRESULT WriteTransportFields(CDO::Fields* fields);
  HRESULT AttachConfiguration();
  HRESULT WriteHeaderField();
  HRESULT SetMessageTexts();
  HRESULT PutText(MessageTextSetter setter, const char* text);
  void RequestDeliveryNotice();
  HRESULT AddAttachment();
  HRESULT Send();

  HRESULT WriteField(CDO::Fields* fields, const wchar_t* name, const unique_variant& value);
  HRESULT WriteNumber(CDO::Fields* fields, const wchar_t* name, LONG number);
  HRESULT WriteText(CDO::Fields* fields, const wchar_t* name, const char* text);
  HRESULT Check(HRESULT result, IUnknown* object, REFIID iid);

  const MessageArguments& args_;
  std::string description_;
  com_ptr<CDO::IMessage> message_;
  com_ptr<CDO::IConfiguration> configuration_;
};

HRESULT CdoSubmission::Submit() {
  CORVISK_RETURN_IF_FAILED(CreateObjects());
  CORVISK_RETURN_IF_FAILED(WriteConfiguration());
  CORVISK_RETURN_IF_FAILED(AttachConfiguration());
  CORVISK_RETURN_IF_FAILED(WriteHeaderField());
  CORVISK_RETURN_IF_FAILED(SetMessageTexts());
  RequestDeliveryNotice();
  CORVISK_RETURN_IF_FAILED(AddAttachment());
  return Send();
}

HRESULT CdoSubmission::CreateObjects() {
  CORVISK_RETURN_IF_FAILED(CreateObject(CDO::CLSID_Message, CDO::IID_IMessage, message_.put_void()));
  return CreateObject(CDO::CLSID_Configuration, CDO::IID_IConfiguration, configuration_.put_void());
}

// Writes the transport fields into the configuration and commits them.
HRESULT CdoSubmission::WriteConfiguration() {
  CORVISK_RETURN_IF_FAILED(NotNull(configuration_));
  com_ptr<CDO::Fields> fields;
  CORVISK_RETURN_IF_FAILED(
      Check(configuration_->get_Fields(fields.put()), configuration_.get(), CDO::IID_IConfiguration));
  CORVISK_RETURN_IF_FAILED(NotNull(fields));
  CORVISK_RETURN_IF_FAILED(WriteTransportFields(fields.get()));
  return Check(fields->Update(), fields.get(), CDO::kIidFields);
}

// With the pickup directory only the send method is written: the server,
// port, time-out, account and SSL settings mean nothing there.
HRESULT CdoSubmission::WriteTransportFields(CDO::Fields* fields) {
  if (args_.usePickup) return WriteNumber(fields, cdoSendUsingMethod, CDO::cdoSendUsingPickup);
  CORVISK_RETURN_IF_FAILED(WriteNumber(fields, cdoSendUsingMethod, CDO::cdoSendUsingPort));
  CORVISK_RETURN_IF_FAILED(WriteText(fields, cdoSMTPServer, args_.server));
  CORVISK_RETURN_IF_FAILED(WriteNumber(fields, cdoSMTPServerPort, args_.port));
  CORVISK_RETURN_IF_FAILED(WriteNumber(fields, cdoSMTPConnectionTimeout, args_.timeoutSeconds));
  const LONG authentication = AuthenticationMethod(args_);
  CORVISK_RETURN_IF_FAILED(WriteNumber(fields, cdoSMTPAuthenticate, authentication));
  if (authentication == CDO::cdoBasic) {
    CORVISK_RETURN_IF_FAILED(WriteText(fields, cdoSendUserName, args_.userName));
    CORVISK_RETURN_IF_FAILED(WriteText(fields, cdoSendPassword, args_.password));
  }
  if (!args_.useSsl) return S_OK;
  return WriteField(fields, cdoSMTPUseSSL, unique_variant::FromShort(VARIANT_TRUE));
}

// The assignment's own result is ignored: a message that refuses the
// configuration fails visibly when it is sent.
HRESULT CdoSubmission::AttachConfiguration() {
  CORVISK_RETURN_IF_FAILED(NotNull(message_));
  message_->putref_Configuration(configuration_.get());
  return S_OK;
}

// The one additional message field (a mail header in CDO's naming), when
// the caller names one.
HRESULT CdoSubmission::WriteHeaderField() {
  if (IsEmpty(args_.headerName)) return S_OK;
  com_ptr<CDO::Fields> fields;
  CORVISK_RETURN_IF_FAILED(Check(message_->get_Fields(fields.put()), message_.get(), CDO::IID_IMessage));
  CORVISK_RETURN_IF_FAILED(NotNull(fields));
  CORVISK_RETURN_IF_FAILED(WriteText(fields.get(), ToWide(args_.headerName).c_str(), args_.headerValue));
  return Check(fields->Update(), fields.get(), CDO::kIidFields);
}

HRESULT CdoSubmission::SetMessageTexts() {
  CORVISK_RETURN_IF_FAILED(PutText(&CDO::IMessage::put_To, args_.to));
  CORVISK_RETURN_IF_FAILED(PutText(&CDO::IMessage::put_From, args_.from));
  CORVISK_RETURN_IF_FAILED(PutText(&CDO::IMessage::put_Sender, args_.from));
  CORVISK_RETURN_IF_FAILED(PutText(&CDO::IMessage::put_Subject, args_.subject));
  return PutText(&CDO::IMessage::put_TextBody, args_.body);
}

HRESULT CdoSubmission::PutText(MessageTextSetter setter, const char* text) {
  const unique_bstr value = ToBstr(TextOrEmpty(text));
  if (!value) return E_OUTOFMEMORY;
  return Check((message_.get()->*setter)(value.get()), message_.get(), CDO::IID_IMessage);
}

// No notification is asked for over SSL. The assignment's own result is
// ignored: a notification request is a wish, not part of the message.
void CdoSubmission::RequestDeliveryNotice() {
  const int options = DeliveryNoticeOptions(args_);
  if (options == 0 || args_.useSsl) return;
  message_->put_DSNOptions(static_cast<CDO::CdoDSNOptions>(options));
}

// The file is attached by its path, with no account for reaching it. The
// body part CDO makes for it is not needed.
HRESULT CdoSubmission::AddAttachment() {
  if (!args_.attachment || !*args_.attachment) return S_OK;
  const unique_bstr path(SysAllocString(args_.attachment));
  const unique_bstr userName(SysAllocString(L""));
  const unique_bstr password(SysAllocString(L""));
  if (!path || !userName || !password) return E_OUTOFMEMORY;
  com_ptr<CDO::IBodyPart> part;
  return Check(message_->AddAttachment(path.get(), userName.get(), password.get(), part.put()), message_.get(),
               CDO::IID_IMessage);
}

HRESULT CdoSubmission::Send() { return Check(message_->Send(), message_.get(), CDO::IID_IMessage); }

// Looks the field up by name in the collection and assigns its value.
HRESULT CdoSubmission::WriteField(CDO::Fields* fields, const wchar_t* name, const unique_variant& value) {
  unique_variant index = unique_variant::FromBstr(unique_bstr(SysAllocString(name)));
  if (index.type() != VT_BSTR) return E_OUTOFMEMORY;
  com_ptr<CDO::Field> field;
  CORVISK_RETURN_IF_FAILED(Check(fields->get_Item(index.get(), field.put()), fields, CDO::kIidFields));
  CORVISK_RETURN_IF_FAILED(NotNull(field));
  return Check(field->put_Value(value.get()), field.get(), CDO::kIidField);
}

HRESULT CdoSubmission::WriteNumber(CDO::Fields* fields, const wchar_t* name, LONG number) {
  return WriteField(fields, name, unique_variant::FromLong(number));
}

HRESULT CdoSubmission::WriteText(CDO::Fields* fields, const wchar_t* name, const char* text) {
  const unique_variant value = unique_variant::FromBstr(ToBstr(TextOrEmpty(text)));
  if (value.type() != VT_BSTR) return E_OUTOFMEMORY;
  return WriteField(fields, name, value);
}

// Passes a call's result on; a failure also takes the failing object's
// description with it.
HRESULT CdoSubmission::Check(HRESULT result, IUnknown* object, REFIID iid) {
  if (FAILED(result)) description_ = RichErrorDescription(object, iid);
  return result;
}

}  // namespace

// Builds one message and submits it through CDO; the calling thread has
// initialised COM. Returns the HRESULT of the step that failed, or of Send.
// errorText is emptied on entry; a failure fills it with "error 0x<code> ",
// " : ", the standard message and, when the failing object gave one, " : "
// and its description. No exception leaves: anything thrown gives
// E_UNEXPECTED and "SendCDOMessage() - exception".
HRESULT SendCDOMessage(const char* userName, const char* password, const char* server, const char* to, const char* from,
                       const char* subject, const char* body, const wchar_t* attachment, const char* headerName,
                       const char* headerValue, bool notifyOnSuccess, bool notifyOnFailure, bool notifyOnDelay,
                       LONG port, LONG timeoutSeconds, bool ntlm, bool usePickup, std::string& errorText, bool useSsl) {
  errorText.clear();
  return ReturnHresultWithText(errorText, kExceptionText, [&] {
    // clang-format off
    const MessageArguments args{userName, password, server, to, from, subject, body, attachment,
                                headerName, headerValue, notifyOnSuccess, notifyOnFailure, notifyOnDelay,
                                port, timeoutSeconds, ntlm, usePickup, useSsl};
    // clang-format on
    CdoSubmission submission(args);
    const HRESULT result = submission.Submit();
    if (FAILED(result)) {
      errorText =
          ComposeComErrorText(static_cast<uint32_t>(result), StandardMessage(result), submission.FailureDescription());
    }
    return result;
  });
}

// The same submission without the additional message field.
HRESULT SendCDOMessageNoHeader(const char* userName, const char* password, const char* server, const char* to,
                               const char* from, const char* subject, const char* body, const wchar_t* attachment,
                               bool notifyOnSuccess, bool notifyOnFailure, bool notifyOnDelay, LONG port,
                               LONG timeoutSeconds, bool ntlm, bool usePickup, std::string& errorText, bool useSsl) {
  return SendCDOMessage(userName, password, server, to, from, subject, body, attachment, "", "", notifyOnSuccess,
                        notifyOnFailure, notifyOnDelay, port, timeoutSeconds, ntlm, usePickup, errorText, useSsl);
}

}  // namespace corvisk
