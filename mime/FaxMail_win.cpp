#include <windows.h>

#include "mime/FaxMail.h"

namespace corvisk {

std::string CurrentMailDate() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  return MailDate(now.wDayOfWeek, now.wDay, now.wMonth, now.wYear, now.wHour, now.wMinute, now.wSecond);
}

}  // namespace corvisk
