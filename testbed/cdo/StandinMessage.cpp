#include "StandinMessage.h"

#include "CallRecord.h"
#include "Delivery.h"
#include "StandinConfiguration.h"
#include "common/TextFormat.h"
#include "mime/FaxMail.h"
#include "win32/AnsiText.h"
#include "win32/ExceptionBoundary.h"
#include "win32/Handles.h"

namespace corvisk::cdo_standin {

namespace {

HRESULT CopyOut(const std::wstring& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// The last component of a path: the name the attachment travels under.
std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The file must be there and readable when it is attached, as CDO reads it
// then; its bytes are read again, a chunk at a time, when the message is sent.
Outcome CheckReadable(const std::wstring& path) {
  const unique_hfile file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return AttachmentReadFailure(GetLastError(), path);
  return {};
}

}  // namespace

void* CMessage::Find(REFIID iid) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, CDO::IID_IMessage)) {
    return static_cast<CDO::IMessage*>(this);
  }
  if (IsEqualIID(iid, IID_ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
  return nullptr;
}

HRESULT CMessage::InterfaceSupportsErrorInfo(REFIID iid) { return IsEqualIID(iid, CDO::IID_IMessage) ? S_OK : S_FALSE; }

HRESULT CMessage::SetText(const char* member, std::wstring& field, BSTR value) {
  return ReturnHresult([&] {
    RecordCall(std::string("Message.") + member + " " + Quoted(value));
    field.assign(value ? value : L"", SysStringLen(value));
    return S_OK;
  });
}

HRESULT CMessage::get_From(BSTR* from) { return CopyOut(from_, from); }
HRESULT CMessage::put_From(BSTR from) { return SetText("put_From", from_, from); }
HRESULT CMessage::get_Subject(BSTR* subject) { return CopyOut(subject_, subject); }
HRESULT CMessage::put_Subject(BSTR subject) { return SetText("put_Subject", subject_, subject); }
HRESULT CMessage::get_To(BSTR* to) { return CopyOut(to_, to); }
HRESULT CMessage::put_To(BSTR to) { return SetText("put_To", to_, to); }
HRESULT CMessage::get_TextBody(BSTR* body) { return CopyOut(textBody_, body); }
HRESULT CMessage::put_TextBody(BSTR body) { return SetText("put_TextBody", textBody_, body); }
HRESULT CMessage::get_Sender(BSTR* sender) { return CopyOut(sender_, sender); }
HRESULT CMessage::put_Sender(BSTR sender) { return SetText("put_Sender", sender_, sender); }

HRESULT CMessage::get_DSNOptions(CDO::CdoDSNOptions* options) {
  if (!options) return E_POINTER;
  *options = deliveryNotice_;
  return S_OK;
}

// Recorded only: the stand-in's servers offer no delivery status notices.
HRESULT CMessage::put_DSNOptions(CDO::CdoDSNOptions options) {
  return ReturnHresult([&] {
    RecordCall(FormatText("Message.put_DSNOptions %d", static_cast<int>(options)));
    deliveryNotice_ = options;
    return S_OK;
  });
}

HRESULT CMessage::get_Configuration(CDO::IConfiguration** configuration) {
  if (!configuration) return E_POINTER;
  *configuration = configuration_.get();
  if (*configuration) (*configuration)->AddRef();
  return S_OK;
}

HRESULT CMessage::put_Configuration(CDO::IConfiguration* configuration) {
  return AttachConfiguration("put_Configuration", configuration);
}

HRESULT CMessage::putref_Configuration(CDO::IConfiguration* configuration) {
  return AttachConfiguration("putref_Configuration", configuration);
}

// The message keeps the configuration object itself: fields committed to it
// later still count when the message is sent.
HRESULT CMessage::AttachConfiguration(const char* member, CDO::IConfiguration* configuration) {
  return ReturnHresult([&] {
    RecordCall(std::string("Message.") + member + (configuration ? "" : " null"));
    if (configuration) configuration->AddRef();
    configuration_.reset(configuration);
    return S_OK;
  });
}

HRESULT CMessage::get_Fields(CDO::Fields** fields) {
  return ReturnHresult([&] {
    if (!fields) return E_POINTER;
    RecordCall("Message.get_Fields");
    fields_->AddRef();
    *fields = fields_.get();
    return S_OK;
  });
}

HRESULT CMessage::AddAttachment(BSTR url, BSTR userName, BSTR password, CDO::IBodyPart** part) {
  return ReturnHresult([&] {
    RecordCall("Message.AddAttachment " + Quoted(url) + " " + Quoted(userName) + " " + Quoted(password));
    if (part) *part = nullptr;
    const std::wstring path = url ? url : L"";
    const Outcome read = ReadAttachment(path);
    if (FAILED(read.result)) return ReportOutcome(read, CDO::IID_IMessage);
    if (part) *part = new CBodyPart(FileNameOf(path), ToWide(attachments_.back().contentType));
    return S_OK;
  });
}

Outcome CMessage::ReadAttachment(const std::wstring& path) {
  MimeAttachment attachment;
  const Outcome read = CheckReadable(path);
  if (FAILED(read.result)) return read;
  attachment.path = path;
  attachment.fileName = ToUtf8(FileNameOf(path));
  attachment.contentType = ContentTypeForFile(attachment.fileName);
  attachments_.push_back(std::move(attachment));
  return {};
}

HRESULT CMessage::Send() {
  return ReturnHresult([&] {
    const Outcome outcome = Deliver();
    RecordCall(FormatText("Message.Send -> 0x%08lx", static_cast<unsigned long>(outcome.result)));
    return ReportOutcome(outcome, CDO::IID_IMessage);
  });
}

// Composes the message from what was set and committed, and hands it to
// the transport the configuration names.
Outcome CMessage::Deliver() const {
  com_ptr<CConfiguration> configuration;
  if (!configuration_ || FAILED(configuration_->QueryInterface(kIidStandinConfiguration, configuration.put_void()))) {
    return Failure(CDO_E_INVALID_SEND_OPTION, "The message has no configuration of the CDO stand-in.");
  }
  SmtpEnvelope envelope;
  envelope.recipients = EnvelopeAddresses(ToUtf8(to_));
  const std::vector<std::string> senders = EnvelopeAddresses(ToUtf8(sender_.empty() ? from_ : sender_));
  if (envelope.recipients.empty()) return Failure(CDO_E_RECIPIENT_MISSING, "The message has no recipient (To).");
  if (senders.empty()) return Failure(CDO_E_FROM_MISSING, "The message has neither From nor Sender.");
  envelope.mailFrom = senders.front();
  const MimeContent content = Content();
  return DeliverMail(configuration->Fields(), envelope,
                     OutgoingMessage(content, "----=_CorviskCdoStandin_" + UniqueName()));
}

// The header fields CDO writes, then every committed mail header field of
// the message's own collection.
MimeContent CMessage::Content() const {
  MimeContent content;
  content.headers = {{"Date", CurrentMailDate()}, {"From", ToUtf8(from_)}};
  if (!sender_.empty()) content.headers.emplace_back("Sender", ToUtf8(sender_));
  content.headers.emplace_back("To", ToUtf8(to_));
  content.headers.emplace_back("Subject", ToUtf8(subject_));
  content.headers.emplace_back("Message-ID", "<" + UniqueName() + "@corvisk-cdo-standin>");
  for (const std::wstring& name : fields_->CommittedNames()) {
    const std::string header = MailHeaderName(ToUtf8(name));
    unique_variant value;
    unique_variant text;
    if (header.empty() || !fields_->CommittedValue(name, value)) continue;
    if (SUCCEEDED(text.ConvertFrom(value.get(), VT_BSTR)) && text.get().bstrVal) {
      content.headers.emplace_back(header, ToUtf8(text.get().bstrVal));
    }
  }
  content.textBody = ToUtf8(textBody_);
  content.attachments = attachments_;
  return content;
}

void* CBodyPart::Find(REFIID iid) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, CDO::IID_IBodyPart)) {
    return static_cast<CDO::IBodyPart*>(this);
  }
  return nullptr;
}

HRESULT CBodyPart::get_FileName(BSTR* fileName) { return CopyOut(fileName_, fileName); }

HRESULT CBodyPart::get_ContentMediaType(BSTR* mediaType) { return CopyOut(mediaType_, mediaType); }

}  // namespace corvisk::cdo_standin
