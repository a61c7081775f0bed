// The Win32 side of the file interface: wide-character paths, no sharing, so
// no other process can change a document while a routine works on it.
#include <windows.h>

#include <algorithm>

#include "common/ComErrorText.h"
#include "win32/AnsiText.h"
#include "tiff/TiffFile.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"

namespace corvisk {
namespace {

// ReadFile and WriteFile move at most a DWORD's worth per call.
constexpr size_t kMaxTransfer = 1u << 30;

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

DWORD DesiredAccess(TiffFile::Access access) {
  switch (access) {
    case TiffFile::Access::Read:
      return GENERIC_READ;
    case TiffFile::Access::ReadWrite:
      return GENERIC_READ | GENERIC_WRITE;
    case TiffFile::Access::Create:
      return GENERIC_WRITE;
  }
  return GENERIC_READ;
}

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

}  // namespace

TiffStatus TiffFile::Open(const FilePath& path, Access access) {
  Close();
  const bool create = access == Access::Create;
  const TiffFault fault = create ? TiffFault::CannotCreate : TiffFault::CannotOpen;
  HANDLE file = CreateFileW(path.c_str(), DesiredAccess(access), 0, nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail(fault, GetLastError());
  handle_ = reinterpret_cast<std::intptr_t>(file);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) {
    const DWORD error = GetLastError();
    Close();
    return Fail(fault, error);
  }
  size_ = static_cast<uint64_t>(size.QuadPart);
  return {};
}

TiffStatus TiffFile::Close() {
  if (handle_ == -1) return {};
  HANDLE file = AsHandle(handle_);
  handle_ = -1;
  size_ = 0;
  if (!CloseHandle(file)) return Fail(TiffFault::CannotWrite, GetLastError());
  return {};
}

TiffStatus TiffFile::ReadAt(uint64_t offset, void* data, size_t size) {
  auto* bytes = static_cast<unsigned char*>(data);
  while (size > 0) {
    OVERLAPPED position = At(offset);
    DWORD got = 0;
    const DWORD part = static_cast<DWORD>(std::min(size, kMaxTransfer));
    if (!ReadFile(AsHandle(handle_), bytes, part, &got, &position)) return Fail(TiffFault::CannotRead, GetLastError());
    if (got == 0) return Fail(TiffFault::CannotRead, ERROR_HANDLE_EOF);
    bytes += got;
    offset += got;
    size -= got;
  }
  return {};
}

TiffStatus TiffFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    OVERLAPPED position = At(offset);
    DWORD put = 0;
    const DWORD part = static_cast<DWORD>(std::min(size, kMaxTransfer));
    if (!WriteFile(AsHandle(handle_), bytes, part, &put, &position))
      return Fail(TiffFault::CannotWrite, GetLastError());
    if (put == 0) return Fail(TiffFault::CannotWrite, ERROR_WRITE_FAULT);
    bytes += put;
    offset += put;
    size -= put;
  }
  return {};
}

uint32_t RemoveFile(const FilePath& path) { return DeleteFileW(path.c_str()) ? 0 : GetLastError(); }

std::string DisplayPath(const FilePath& path) { return ToAnsi(path); }

std::string DescribeSystemError(uint32_t code) {
  const std::string text = WithoutTrailingLineBreak(SystemMessageText(code));
  return text.empty() ? "system error " + std::to_string(code) : text;
}

}  // namespace corvisk
