// The POSIX side of the file interface: the native tree's tests, fuzz target
// and benchmark run the document routines on it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tiff/TiffFile.h"

namespace corvisk {
namespace {

int OpenFlags(TiffFile::Access access) {
  switch (access) {
    case TiffFile::Access::Read:
      return O_RDONLY;
    case TiffFile::Access::ReadWrite:
      return O_RDWR;
    case TiffFile::Access::Create:
      return O_WRONLY | O_CREAT;
  }
  return O_RDONLY;
}

// Windows opens these files without sharing; an exclusive lock taken before
// anything is truncated gives the same guarantee against our own other opens
// (a destination that names the source is refused, not emptied).
uint32_t LockExclusively(int fd) {
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

uint32_t MeasureFile(int fd, uint64_t& size) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return errno;
  size = static_cast<uint64_t>(info.st_size);
  return 0;
}

uint32_t PrepareOpened(int fd, TiffFile::Access access, uint64_t& size) {
  if (uint32_t error = LockExclusively(fd)) return error;
  if (access == TiffFile::Access::Create && ftruncate(fd, 0) != 0) return errno;
  return MeasureFile(fd, size);
}

}  // namespace

TiffStatus TiffFile::Open(const FilePath& path, Access access) {
  Close();
  const TiffFault fault = access == Access::Create ? TiffFault::CannotCreate : TiffFault::CannotOpen;
  const int fd = ::open(path.c_str(), OpenFlags(access) | O_CLOEXEC, 0666);
  if (fd < 0) return Fail(fault, errno);
  handle_ = fd;
  if (uint32_t error = PrepareOpened(fd, access, size_)) {
    Close();
    return Fail(fault, error);
  }
  return {};
}

TiffStatus TiffFile::Close() {
  if (handle_ < 0) return {};
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  size_ = 0;
  if (::close(fd) != 0 && errno != EINTR) return Fail(TiffFault::CannotWrite, errno);
  return {};
}

TiffStatus TiffFile::ReadAt(uint64_t offset, void* data, size_t size) {
  auto* bytes = static_cast<unsigned char*>(data);
  while (size > 0) {
    const ssize_t got = ::pread(static_cast<int>(handle_), bytes, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Fail(TiffFault::CannotRead, errno);
    if (got == 0) return Fail(TiffFault::CannotRead, EIO);  // the file ended early
    bytes += got;
    offset += static_cast<uint64_t>(got);
    size -= static_cast<size_t>(got);
  }
  return {};
}

TiffStatus TiffFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t put = ::pwrite(static_cast<int>(handle_), bytes, size, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return Fail(TiffFault::CannotWrite, put < 0 ? errno : EIO);
    bytes += put;
    offset += static_cast<uint64_t>(put);
    size -= static_cast<size_t>(put);
  }
  return {};
}

uint32_t RemoveFile(const FilePath& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

std::string DisplayPath(const FilePath& path) { return path; }

std::string DescribeSystemError(uint32_t code) { return std::strerror(static_cast<int>(code)); }

}  // namespace corvisk
