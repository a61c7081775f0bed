#include "provider/JobLogFile.h"

#include "joblog/JobLogPath.h"
#include "win32/AnsiText.h"

namespace corvisk {
namespace {

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

unique_hfile CreateJobLog() {
  unique_hfile file(
      CreateFileA(JobLogPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) WriteText(file.get(), LocalTimeText() + " : ");
  return file;
}

}  // namespace corvisk
