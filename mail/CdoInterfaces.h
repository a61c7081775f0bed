#pragma once
// The CDO for Windows 2000 interfaces as MinGW-w64's cdosys.h declares them,
// made usable from C++, plus the two ADO interfaces CDO hands out for its
// field collections. Shared by the mail sender and the testbed's CDO
// stand-in, so both agree on every vtable slot.
//
// cdosys.h cannot be included plainly in C++: it opens namespace CDO before
// it includes ocidl.h, and the adoint.h it pulls in has declarations that
// declare nothing. So ocidl.h comes first, adoint.h is kept out, and the few
// ADO names cdosys.h needs are declared here instead.
#include <ocidl.h>
#include <oleauto.h>
#include <windows.h>

#define _ADOINT_H_

namespace CDO {

struct _Stream;
struct _Connection;
typedef int ConnectModeEnum, RecordCreateOptionsEnum, RecordOpenOptionsEnum;
typedef int DataTypeEnum, FieldAttributeEnum, ResyncEnum;

// ADO Field (_ADO, Field20, Field), slot for slot as in adoint.h: get_Value
// is slot 13 and put_Value slot 14. ADO's property collection is left as an
// IDispatch; nothing here reads it.
struct Field : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Properties(IDispatch** properties) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ActualSize(long* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Attributes(long* attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DefinedSize(long* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Type(DataTypeEnum* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Value(VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Precision(BYTE* precision) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumericScale(BYTE* scale) = 0;
  virtual HRESULT STDMETHODCALLTYPE AppendChunk(VARIANT data) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChunk(long length, VARIANT* data) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OriginalValue(VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UnderlyingValue(VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DataFormat(IUnknown** format) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_DataFormat(IUnknown* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Precision(BYTE precision) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_NumericScale(BYTE scale) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Type(DataTypeEnum type) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DefinedSize(long size) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Attributes(long attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Status(long* status) = 0;
};

// ADO Fields (_ADOCollection, Fields15, Fields20, Fields), slot for slot as
// in adoint.h: get_Item is slot 10 and Update slot 14.
struct Fields : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Count(long* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown** enumerator) = 0;
  virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, Field** field) = 0;
  virtual HRESULT STDMETHODCALLTYPE _Append(BSTR name, DataTypeEnum type, long definedSize,
                                            FieldAttributeEnum attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete(VARIANT index) = 0;
  virtual HRESULT STDMETHODCALLTYPE Append(BSTR name, DataTypeEnum type, long definedSize,
                                           FieldAttributeEnum attributes, VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Update() = 0;
  virtual HRESULT STDMETHODCALLTYPE Resync(ResyncEnum values) = 0;
  virtual HRESULT STDMETHODCALLTYPE CancelUpdate() = 0;
};

// ADO's interface identifiers (adoint.h): the collection CDO hands out
// answers to Fields and the field to Field.
inline constexpr IID kIidFields = {0x00001564, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID kIidField = {0x00001569, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

}  // namespace CDO

#include <cdosys.h>
#include <cdosyserr.h>
