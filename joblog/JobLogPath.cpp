#include "joblog/JobLogPath.h"

#include <windows.h>
#include <shlobj.h>

#include "common/Product.h"

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

}  // namespace

std::string JobLogPath() { return JobLogFolder() + "\\" + kLogFileStem + ".log"; }

}  // namespace corvisk
