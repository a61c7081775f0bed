#include "CallRecord.h"

#include "common/TextFormat.h"
#include "win32/AnsiText.h"
#include "win32/Handles.h"

namespace corvisk::cdo_standin {

namespace {

// The record goes to the file that this environment variable names; without
// it nothing is recorded.
constexpr wchar_t kRecordVariable[] = L"CORVISK_CDO_RECORD";

std::wstring RecordPath() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(kRecordVariable, path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

}  // namespace

// Appends one line to the record. Each line is written by one append, so
// lines of concurrent senders never interleave within a line.
void RecordCall(const std::string& line) {
  const std::wstring path = RecordPath();
  if (path.empty()) return;
  const unique_hfile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// A text argument in the system code page, in double quotes, with line
// breaks written as \r and \n so each call stays one line; a null BSTR is
// the empty text.
std::string Quoted(const wchar_t* text) {
  std::string quoted = "\"";
  for (const char c : ToAnsi(text ? text : L"")) {
    if (c == '\r') {
      quoted += "\\r";
    } else if (c == '\n') {
      quoted += "\\n";
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

// "VT_I4 2", "VT_I2 -1", "VT_BSTR "text"" and so on: the type matters as
// much as the value.
std::string DescribeVariant(const VARIANT& value) {
  switch (value.vt) {
    case VT_EMPTY:
      return "VT_EMPTY";
    case VT_I2:
      return FormatText("VT_I2 %d", value.iVal);
    case VT_I4:
      return FormatText("VT_I4 %ld", static_cast<long>(value.lVal));
    case VT_BOOL:
      return FormatText("VT_BOOL %d", value.boolVal);
    case VT_BSTR:
      return "VT_BSTR " + Quoted(value.bstrVal);
    default:
      return FormatText("VT %u", static_cast<unsigned>(value.vt));
  }
}

}  // namespace corvisk::cdo_standin
