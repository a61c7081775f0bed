#include "cloudmail/CloudFax.h"

#include "win32/AnsiText.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"

namespace corvisk {

MimeContent CloudFaxContent(const CloudFax& fax) {
  return FaxMailContent(fax.fields, fax.attachmentName, fax.attachmentPath);
}

// A boundary may not hold the "@" of the message id.
std::string CloudFaxBoundary(const CloudFax& fax) {
  const std::string& id = fax.fields.messageId;
  return "----=_CorviskFSP_" + id.substr(0, id.find('@'));
}

CloudOutcome DocumentReadFailure(DWORD error, const std::wstring& path) {
  return CloudFailure(
      "The fax document " + ToAnsi(path) + " could not be read: " + StandardMessage(HRESULT_FROM_WIN32(error)),
      HRESULT_FROM_WIN32(error));
}

CloudOutcome ReadDocumentSize(const CloudFax& fax, unsigned long long& size) {
  WIN32_FILE_ATTRIBUTE_DATA attributes = {};
  if (!GetFileAttributesExW(fax.attachmentPath.c_str(), GetFileExInfoStandard, &attributes))
    return DocumentReadFailure(GetLastError(), fax.attachmentPath);
  size = (static_cast<unsigned long long>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
  return {};
}

CloudOutcome ComposeCloudFax(const CloudFax& fax, std::string& text) {
  const std::wstring& path = fax.attachmentPath;
  const unique_hfile file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return DocumentReadFailure(GetLastError(), path);
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.get(), &size)) return DocumentReadFailure(GetLastError(), path);
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!bytes.empty()) {
    const BOOL read = ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    if (!read || got != bytes.size()) return DocumentReadFailure(read ? ERROR_HANDLE_EOF : GetLastError(), path);
  }
  text = MimeMessageText(CloudFaxContent(fax), CloudFaxBoundary(fax), {bytes});
  return {};
}

}  // namespace corvisk
