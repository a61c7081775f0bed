#pragma once
// CDO's Message with the members a sender sets before Send, and the body
// part AddAttachment hands back.
#include <string>
#include <vector>

#include "FieldCollection.h"
#include "mime/MimeText.h"
#include "RichError.h"
#include "mail/CdoInterfaces.h"
#include "win32/ComObject.h"
#include "win32/ComPtr.h"

namespace corvisk::cdo_standin {

class CConfiguration;

class CMessage final : public ComObject<VtableOnlyDispatch<CDO::IMessage>, ISupportErrorInfo> {
 public:
  CMessage() { fields_.reset(new CFieldCollection("Message.Fields")); }

  HRESULT STDMETHODCALLTYPE get_From(BSTR* from) override;
  HRESULT STDMETHODCALLTYPE put_From(BSTR from) override;
  HRESULT STDMETHODCALLTYPE get_DSNOptions(CDO::CdoDSNOptions* options) override;
  HRESULT STDMETHODCALLTYPE put_DSNOptions(CDO::CdoDSNOptions options) override;
  HRESULT STDMETHODCALLTYPE get_Subject(BSTR* subject) override;
  HRESULT STDMETHODCALLTYPE put_Subject(BSTR subject) override;
  HRESULT STDMETHODCALLTYPE get_To(BSTR* to) override;
  HRESULT STDMETHODCALLTYPE put_To(BSTR to) override;
  HRESULT STDMETHODCALLTYPE get_TextBody(BSTR* body) override;
  HRESULT STDMETHODCALLTYPE put_TextBody(BSTR body) override;
  HRESULT STDMETHODCALLTYPE get_Sender(BSTR* sender) override;
  HRESULT STDMETHODCALLTYPE put_Sender(BSTR sender) override;
  HRESULT STDMETHODCALLTYPE get_Configuration(CDO::IConfiguration** configuration) override;
  HRESULT STDMETHODCALLTYPE put_Configuration(CDO::IConfiguration* configuration) override;
  HRESULT STDMETHODCALLTYPE putref_Configuration(CDO::IConfiguration* configuration) override;
  HRESULT STDMETHODCALLTYPE get_Fields(CDO::Fields** fields) override;
  HRESULT STDMETHODCALLTYPE AddAttachment(BSTR url, BSTR userName, BSTR password, CDO::IBodyPart** part) override;
  HRESULT STDMETHODCALLTYPE Send() override;
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

  // Members no caller of the stand-in uses.
  HRESULT STDMETHODCALLTYPE get_BCC(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_BCC(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CC(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_CC(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FollowUpTo(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_FollowUpTo(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Keywords(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Keywords(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_MimeFormatted(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_MimeFormatted(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Newsgroups(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Newsgroups(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Organization(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Organization(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ReceivedTime(DATE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ReplyTo(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_ReplyTo(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_SentOn(DATE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_HTMLBody(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_HTMLBody(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Attachments(CDO::IBodyParts**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_AutoGenerateTextBody(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_AutoGenerateTextBody(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_EnvelopeFields(CDO::Fields**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_TextBodyPart(CDO::IBodyPart**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_HTMLBodyPart(CDO::IBodyPart**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_BodyPart(CDO::IBodyPart**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DataSource(CDO::IDataSource**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_MDNRequested(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_MDNRequested(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddRelatedBodyPart(BSTR, BSTR, CDO::CdoReferenceType, BSTR, BSTR,
                                               CDO::IBodyPart**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateMHTMLBody(BSTR, CDO::CdoMHTMLFlags, BSTR, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Forward(CDO::IMessage**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Post() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE PostReply(CDO::IMessage**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reply(CDO::IMessage**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReplyAll(CDO::IMessage**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetStream(CDO::_Stream**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetInterface(BSTR, IDispatch**) override { return E_NOTIMPL; }

 protected:
  void* Find(REFIID iid) override;

 private:
  HRESULT SetText(const char* member, std::wstring& field, BSTR value);
  HRESULT AttachConfiguration(const char* member, CDO::IConfiguration* configuration);
  Outcome ReadAttachment(const std::wstring& path);
  Outcome Deliver() const;
  MimeContent Content() const;

  std::wstring to_;
  std::wstring from_;
  std::wstring sender_;
  std::wstring subject_;
  std::wstring textBody_;
  CDO::CdoDSNOptions deliveryNotice_ = CDO::cdoDSNDefault;
  com_ptr<CDO::IConfiguration> configuration_;
  com_ptr<CFieldCollection> fields_;
  std::vector<MimeAttachment> attachments_;
};

class CBodyPart final : public ComObject<VtableOnlyDispatch<CDO::IBodyPart>> {
 public:
  CBodyPart(std::wstring fileName, std::wstring mediaType)
      : fileName_(std::move(fileName)), mediaType_(std::move(mediaType)) {}

  HRESULT STDMETHODCALLTYPE get_FileName(BSTR* fileName) override;
  HRESULT STDMETHODCALLTYPE get_ContentMediaType(BSTR* mediaType) override;

  // Members no caller of the stand-in uses.
  HRESULT STDMETHODCALLTYPE get_BodyParts(CDO::IBodyParts**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ContentTransferEncoding(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_ContentTransferEncoding(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_ContentMediaType(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Fields(CDO::Fields**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Charset(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Charset(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DataSource(CDO::IDataSource**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ContentClass(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_ContentClass(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ContentClassName(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_ContentClassName(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Parent(CDO::IBodyPart**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddBodyPart(__LONG32, CDO::IBodyPart**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SaveToFile(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetEncodedContentStream(CDO::_Stream**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDecodedContentStream(CDO::_Stream**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetStream(CDO::_Stream**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFieldParameter(BSTR, BSTR, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetInterface(BSTR, IDispatch**) override { return E_NOTIMPL; }

 protected:
  void* Find(REFIID iid) override;

 private:
  std::wstring fileName_;
  std::wstring mediaType_;
};

}  // namespace corvisk::cdo_standin
