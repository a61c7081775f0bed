#pragma once
// ADO's Fields and Field as CDO hands them out for a configuration and for
// a message's header fields. A value written through a field is pending
// until the collection's Update commits it; the stand-in delivers with
// committed values only, as CDO does.
#include <string>
#include <vector>

#include "mail/CdoInterfaces.h"
#include "win32/ComObject.h"
#include "win32/Variant.h"

namespace corvisk::cdo_standin {

class CFieldCollection final : public ComObject<VtableOnlyDispatch<CDO::Fields>, ISupportErrorInfo> {
 public:
  // owner names the collection in the call record, e.g. "Message.Fields".
  explicit CFieldCollection(std::string owner) : owner_(std::move(owner)) {}

  HRESULT STDMETHODCALLTYPE get_Count(long* count) override;
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, CDO::Field** field) override;
  HRESULT STDMETHODCALLTYPE Update() override;
  HRESULT STDMETHODCALLTYPE CancelUpdate() override;
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

  // Members no caller of the stand-in uses.
  HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Refresh() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE _Append(BSTR, CDO::DataTypeEnum, long, CDO::FieldAttributeEnum) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Delete(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Append(BSTR, CDO::DataTypeEnum, long, CDO::FieldAttributeEnum, VARIANT) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Resync(CDO::ResyncEnum) override { return E_NOTIMPL; }

  // For the collection's fields.
  const std::wstring& NameAt(size_t index) const { return entries_[index].name; }
  HRESULT ValueAt(size_t index, bool committed, VARIANT* value) const;
  HRESULT WriteAt(size_t index, const VARIANT& value);

  // For the stand-in's own delivery: committed values, in the order the
  // fields were first named.
  bool CommittedValue(const std::wstring& name, unique_variant& value) const;
  std::vector<std::wstring> CommittedNames() const;

 protected:
  void* Find(REFIID iid) override;

 private:
  struct Entry {
    std::wstring name;
    unique_variant pending;
    unique_variant committed;
  };
  size_t IndexOf(const std::wstring& name);

  std::string owner_;
  std::vector<Entry> entries_;
};

class CField final : public ComObject<VtableOnlyDispatch<CDO::Field>, ISupportErrorInfo> {
 public:
  CField(CFieldCollection* collection, size_t index);

  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_Value(VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) override;
  HRESULT STDMETHODCALLTYPE get_OriginalValue(VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

  // Members no caller of the stand-in uses.
  HRESULT STDMETHODCALLTYPE get_Properties(IDispatch**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ActualSize(long*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Attributes(long*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DefinedSize(long*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Type(CDO::DataTypeEnum*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Precision(BYTE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NumericScale(BYTE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AppendChunk(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetChunk(long, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_UnderlyingValue(VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DataFormat(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE putref_DataFormat(IUnknown*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Precision(BYTE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_NumericScale(BYTE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Type(CDO::DataTypeEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_DefinedSize(long) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Attributes(long) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Status(long*) override { return E_NOTIMPL; }

 protected:
  void* Find(REFIID iid) override;

 private:
  com_ptr<CFieldCollection> collection_;
  size_t index_;
};

}  // namespace corvisk::cdo_standin
