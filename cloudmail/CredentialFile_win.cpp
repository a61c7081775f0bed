#include "cloudmail/CredentialFile.h"

#include "win32/AnsiText.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"

namespace corvisk {
namespace {

CloudOutcome ReadFailure(DWORD error, const std::wstring& path, const CredentialFileKind& kind) {
  return CloudFailure(std::string("The ") + kind.name + " " + ToAnsi(path) +
                          " could not be read: " + StandardMessage(HRESULT_FROM_WIN32(error)),
                      HRESULT_FROM_WIN32(error));
}

}  // namespace

CloudOutcome ReadCredentialFile(const std::wstring& path, const CredentialFileKind& kind, std::string& bytes) {
  const unique_hfile file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return ReadFailure(GetLastError(), path, kind);
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.get(), &size)) return ReadFailure(GetLastError(), path, kind);
  if (size.QuadPart > kind.maxBytes) return CloudFailure(kind.tooLargeText);
  bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
    return ReadFailure(GetLastError(), path, kind);
  bytes.resize(got);
  return {};
}

}  // namespace corvisk
