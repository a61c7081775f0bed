#include "provider/JobLogFile.h"

#include <shlobj.h>

#include "common/Product.h"
#include "win32/AnsiText.h"

namespace corvisk {
namespace {

std::string JobLogFolder() {
  char folder[MAX_PATH] = "";
  if (SUCCEEDED(
          SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder)))
    return folder;
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  return std::string(folder, length < MAX_PATH ? length : 0);
}

// The local time as the platform's date-to-text conversion gives it.
std::string LocalTimeText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  DATE date = 0;
  unique_bstr text;
  if (!SystemTimeToVariantTime(&now, &date) || FAILED(VarBstrFromDate(date, LOCALE_USER_DEFAULT, 0, text.put())))
    return std::string();
  return ToAnsi(text.get(), static_cast<int>(text.length()));
}

void WriteText(HANDLE file, const std::string& text) {
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

std::string JobLogPath() { return JobLogFolder() + "\\" + kLogFileStem + ".log"; }

unique_hfile CreateJobLog() {
  unique_hfile file(
      CreateFileA(JobLogPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) WriteText(file.get(), LocalTimeText() + " : ");
  return file;
}

}  // namespace corvisk
