// The Win32 side of the file interface: wide-character paths, no sharing, so
// no other process can change a document while a routine works on it.
#include <windows.h>
#include <winioctl.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>

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

// Where reading through a view is as safe as ReadFile. A view's pages are read
// when first touched, and a page that cannot be read then raises
// EXCEPTION_IN_PAGE_ERROR (the routines catch no structured exceptions)
// where ReadFile would return an error. The file cannot shrink: it is open
// without sharing, so no other handle can write it, and a file with a mapped
// view refuses SetEndOfFile. What remains is the device: a network connection
// that drops, media taken out, a file whose data the system must first fetch
// from elsewhere. Such files are read with ReadFile; a view is mapped only of
// a file on a local fixed disk, whose failure would fault the process's own
// code pages as well.
constexpr ULONG kRemovableMedia = 0x1;             // FILE_REMOVABLE_MEDIA
constexpr ULONG kRemoteDevice = 0x10;              // FILE_REMOTE_DEVICE
constexpr DWORD kRecallOnDataAccess = 0x00400000;  // FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS

bool OnLocalFixedDisk(HANDLE file) {
  FILE_FS_DEVICE_INFORMATION device{};
  IO_STATUS_BLOCK io{};
  if (NtQueryVolumeInformationFile(file, &io, &device, sizeof device, FileFsDeviceInformation) < 0) return false;
  // Windows names the disk, Wine the file system on it; a network redirector
  // is neither.
  const bool disk = device.DeviceType == FILE_DEVICE_DISK || device.DeviceType == FILE_DEVICE_DISK_FILE_SYSTEM;
  return disk && (device.Characteristics & (kRemovableMedia | kRemoteDevice)) == 0;
}

bool DataIsAtHand(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(file, &info) &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_OFFLINE | kRecallOnDataAccess)) == 0;
}

// The mapping object views are made of, or -1 where the file is read with
// ReadFile (CreateFileMapping also refuses an empty file).
std::intptr_t CreateReadMapping(HANDLE file, TiffFile::Access access, uint64_t size) {
  if (access != TiffFile::Access::Read || size == 0 || !OnLocalFixedDisk(file) || !DataIsAtHand(file)) return -1;
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  return mapping ? reinterpret_cast<std::intptr_t>(mapping) : -1;
}

}  // namespace

// Views are made only of files on local fixed disks (see OnLocalFixedDisk),
// so this copy needs no guard.
uint32_t CopyFromView(void* to, const unsigned char* from, size_t size) {
  std::memcpy(to, from, size);
  return 0;
}

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
  mapping_ = CreateReadMapping(file, access, size_);
  return {};
}

TiffStatus TiffFile::Close() {
  if (handle_ == -1) return {};
  if (mapping_ != -1) CloseHandle(AsHandle(mapping_));
  HANDLE file = AsHandle(handle_);
  handle_ = -1;
  mapping_ = -1;
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

// Gathered writes to a cached file are not to be had: one write per span.
TiffStatus TiffFile::WriteGathered(uint64_t offset, const ByteSpan* spans, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (TiffStatus status = WriteAt(offset, spans[i].data, spans[i].size); !status) return status;
    offset += spans[i].size;
  }
  return {};
}

// Views are read whole only where writes take data from them, not here.
const unsigned char* TiffFile::MapRegion(uint64_t offset, size_t size, Reading) const {
  return static_cast<const unsigned char*>(MapViewOfFile(
      AsHandle(mapping_), FILE_MAP_READ, static_cast<DWORD>(offset >> 32), static_cast<DWORD>(offset), size));
}

void TiffFile::UnmapRegion(const unsigned char* base, size_t) { UnmapViewOfFile(base); }

size_t TiffFile::MapGranularity() {
  static const size_t granularity = [] {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return static_cast<size_t>(info.dwAllocationGranularity);
  }();
  return granularity;
}

uint32_t RemoveFile(const FilePath& path) { return DeleteFileW(path.c_str()) ? 0 : GetLastError(); }

std::string DisplayPath(const FilePath& path) { return ToAnsi(path); }

std::string DescribeSystemError(uint32_t code) {
  const std::string text = WithoutTrailingLineBreak(SystemMessageText(code));
  return text.empty() ? "system error " + std::to_string(code) : text;
}

}  // namespace corvisk
