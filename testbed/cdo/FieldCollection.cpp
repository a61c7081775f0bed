#include "FieldCollection.h"

#include "CallRecord.h"
#include "RichError.h"
#include "win32/AnsiText.h"
#include "win32/ExceptionBoundary.h"

namespace corvisk::cdo_standin {

namespace {

// ADO's older identifiers (adoint_backcompat.h); callers may use either.
constexpr IID kIidFieldsBackCompat = {0x00000564, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
constexpr IID kIidFieldBackCompat = {0x00000569, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

bool IsFieldsIid(REFIID iid) { return IsEqualIID(iid, CDO::kIidFields) || IsEqualIID(iid, kIidFieldsBackCompat); }
bool IsFieldIid(REFIID iid) { return IsEqualIID(iid, CDO::kIidField) || IsEqualIID(iid, kIidFieldBackCompat); }

}  // namespace

void* CFieldCollection::Find(REFIID iid) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsFieldsIid(iid)) {
    return static_cast<CDO::Fields*>(this);
  }
  if (IsEqualIID(iid, IID_ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
  return nullptr;
}

HRESULT CFieldCollection::InterfaceSupportsErrorInfo(REFIID iid) { return IsFieldsIid(iid) ? S_OK : S_FALSE; }

HRESULT CFieldCollection::get_Count(long* count) {
  if (!count) return E_POINTER;
  *count = static_cast<long>(entries_.size());
  return S_OK;
}

// A field is looked up by its name; a name not seen before adds an empty
// field, as CDO's collections accept any field name.
HRESULT CFieldCollection::get_Item(VARIANT index, CDO::Field** field) {
  return ReturnHresult([&] {
    if (!field) return E_POINTER;
    *field = nullptr;
    if (index.vt != VT_BSTR) {
      return ReportOutcome(Failure(DISP_E_TYPEMISMATCH, "Fields are looked up by name here."), CDO::kIidFields);
    }
    *field = new CField(this, IndexOf(index.bstrVal ? index.bstrVal : L""));
    return S_OK;
  });
}

HRESULT CFieldCollection::Update() {
  return ReturnHresult([&] {
    RecordCall(owner_ + ".Update");
    for (Entry& entry : entries_) {
      const HRESULT result = entry.committed.CopyFrom(entry.pending.get());
      if (FAILED(result)) return result;
    }
    return S_OK;
  });
}

HRESULT CFieldCollection::CancelUpdate() {
  return ReturnHresult([&] {
    RecordCall(owner_ + ".CancelUpdate");
    for (Entry& entry : entries_) {
      const HRESULT result = entry.pending.CopyFrom(entry.committed.get());
      if (FAILED(result)) return result;
    }
    return S_OK;
  });
}

size_t CFieldCollection::IndexOf(const std::wstring& name) {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].name == name) return i;
  }
  entries_.push_back(Entry{name, unique_variant(), unique_variant()});
  return entries_.size() - 1;
}

HRESULT CFieldCollection::ValueAt(size_t index, bool committed, VARIANT* value) const {
  if (!value) return E_POINTER;
  const Entry& entry = entries_[index];
  unique_variant copy;
  const HRESULT result = copy.CopyFrom(committed ? entry.committed.get() : entry.pending.get());
  VariantInit(value);
  if (SUCCEEDED(result)) *value = copy.release();
  return result;
}

HRESULT CFieldCollection::WriteAt(size_t index, const VARIANT& value) {
  return ReturnHresult([&] {
    Entry& entry = entries_[index];
    RecordCall(owner_ + "[" + ToAnsi(entry.name) + "].put_Value " + DescribeVariant(value));
    return entry.pending.CopyFrom(value);
  });
}

bool CFieldCollection::CommittedValue(const std::wstring& name, unique_variant& value) const {
  for (const Entry& entry : entries_) {
    if (entry.name == name) return SUCCEEDED(value.CopyFrom(entry.committed.get())) && value.type() != VT_EMPTY;
  }
  return false;
}

std::vector<std::wstring> CFieldCollection::CommittedNames() const {
  std::vector<std::wstring> names;
  for (const Entry& entry : entries_) {
    if (entry.committed.type() != VT_EMPTY) names.push_back(entry.name);
  }
  return names;
}

CField::CField(CFieldCollection* collection, size_t index) : index_(index) {
  collection->AddRef();
  collection_.reset(collection);
}

void* CField::Find(REFIID iid) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsFieldIid(iid)) {
    return static_cast<CDO::Field*>(this);
  }
  if (IsEqualIID(iid, IID_ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
  return nullptr;
}

HRESULT CField::InterfaceSupportsErrorInfo(REFIID iid) { return IsFieldIid(iid) ? S_OK : S_FALSE; }

HRESULT CField::get_Name(BSTR* name) {
  if (!name) return E_POINTER;
  const std::wstring& text = collection_->NameAt(index_);
  *name = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *name ? S_OK : E_OUTOFMEMORY;
}

HRESULT CField::get_Value(VARIANT* value) { return collection_->ValueAt(index_, false, value); }

HRESULT CField::get_OriginalValue(VARIANT* value) { return collection_->ValueAt(index_, true, value); }

HRESULT CField::put_Value(VARIANT value) { return collection_->WriteAt(index_, value); }

}  // namespace corvisk::cdo_standin
