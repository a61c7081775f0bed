// The POSIX side of the file interface: the native tree's tests, fuzz target
// and benchmark run the document routines on it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <csignal>
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

uint32_t MeasureFile(int fd, uint64_t& size, bool& regular) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return errno;
  size = static_cast<uint64_t>(info.st_size);
  regular = S_ISREG(info.st_mode);
  return 0;
}

// The lock is advisory: another process may still shrink a file while a view
// of it is mapped, and touching a page past the new end raises SIGBUS (as a
// failing disk does). A copy out of a view therefore runs under a guard that
// turns that signal into a failed copy; any other SIGBUS goes where it went.
struct BusGuard {
  sigjmp_buf jump;
  uintptr_t begin = 0;
  uintptr_t end = 0;
};

thread_local BusGuard* tBusGuard = nullptr;
struct sigaction gPreviousBusAction {};

void PassOnBusError(int signal, siginfo_t* info, void* context) {
  const struct sigaction& previous = gPreviousBusAction;
  if ((previous.sa_flags & SA_SIGINFO) != 0) return previous.sa_sigaction(signal, info, context);
  if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) return previous.sa_handler(signal);
  // The access is retried on return and then takes the default action.
  std::signal(SIGBUS, SIG_DFL);
}

void OnBusError(int signal, siginfo_t* info, void* context) {
  BusGuard* guard = tBusGuard;
  const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
  if (guard && address >= guard->begin && address < guard->end) siglongjmp(guard->jump, 1);
  PassOnBusError(signal, info, context);
}

// SA_NODEFER: the jump out of the handler leaves no signal blocked, so the
// guard need not save and restore the signal mask.
bool InstallBusHandler() {
  struct sigaction action {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  return sigaction(SIGBUS, &action, &gPreviousBusAction) == 0;
}

// Once for the process, before the first view is mapped.
bool GuardsViews() {
  static const bool installed = InstallBusHandler();
  return installed;
}

// Views are made of regular files opened for reading, once copies out of
// them are guarded; anything else (a pipe, an empty file) is read with read().
uint32_t PrepareOpened(int fd, TiffFile::Access access, uint64_t& size, bool& mappable) {
  if (uint32_t error = LockExclusively(fd)) return error;
  if (access == TiffFile::Access::Create && ftruncate(fd, 0) != 0) return errno;
  bool regular = false;
  if (uint32_t error = MeasureFile(fd, size, regular)) return error;
  mappable = access == TiffFile::Access::Read && regular && size > 0 && GuardsViews();
  return 0;
}

}  // namespace

uint32_t CopyFromView(void* to, const unsigned char* from, size_t size) {
  BusGuard guard;
  guard.begin = reinterpret_cast<uintptr_t>(from);
  guard.end = guard.begin + size;
  if (sigsetjmp(guard.jump, 0) != 0) {
    tBusGuard = nullptr;
    return EIO;  // as a read that finds the file ended
  }
  tBusGuard = &guard;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::memcpy(to, from, size);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  tBusGuard = nullptr;
  return 0;
}

TiffStatus TiffFile::Open(const FilePath& path, Access access) {
  Close();
  const TiffFault fault = access == Access::Create ? TiffFault::CannotCreate : TiffFault::CannotOpen;
  const int fd = ::open(path.c_str(), OpenFlags(access) | O_CLOEXEC, 0666);
  if (fd < 0) return Fail(fault, errno);
  handle_ = fd;
  bool mappable = false;
  if (uint32_t error = PrepareOpened(fd, access, size_, mappable)) {
    Close();
    return Fail(fault, error);
  }
  if (mappable) mapping_ = fd;
  return {};
}

TiffStatus TiffFile::Close() {
  if (handle_ < 0) return {};
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  mapping_ = -1;
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

// The kernel copies from the spans: a view the source no longer backs fails
// the write with EFAULT instead of raising SIGBUS, and is reported as the
// read that found the file ended.
TiffStatus TiffFile::WriteGathered(uint64_t offset, const ByteSpan* spans, size_t count) {
  iovec parts[kMaxSpans];
  for (size_t i = 0; i < count; ++i) parts[i] = {const_cast<unsigned char*>(spans[i].data), spans[i].size};
  size_t first = 0;
  while (first < count) {
    const ssize_t put = ::pwritev(static_cast<int>(handle_), parts + first, static_cast<int>(count - first),
                                  static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && errno == EFAULT && spans[first].source >= 0) {
      const uint64_t done = spans[first].size - parts[first].iov_len;
      return AtOffset(Fail(TiffFault::CannotRead, EIO), static_cast<uint64_t>(spans[first].source) + done);
    }
    if (put <= 0) return Fail(TiffFault::CannotWrite, put < 0 ? errno : EIO);
    offset += static_cast<uint64_t>(put);
    for (auto left = static_cast<size_t>(put); left > 0;) {
      const size_t part = std::min(left, parts[first].iov_len);
      parts[first].iov_base = static_cast<unsigned char*>(parts[first].iov_base) + part;
      parts[first].iov_len -= part;
      left -= part;
      if (parts[first].iov_len == 0) ++first;
    }
  }
  return {};
}

const unsigned char* TiffFile::MapRegion(uint64_t offset, size_t size, Reading reading) const {
  const int populate = reading == Reading::Whole ? MAP_POPULATE : 0;
  void* base =
      ::mmap(nullptr, size, PROT_READ, MAP_SHARED | populate, static_cast<int>(mapping_), static_cast<off_t>(offset));
  return base == MAP_FAILED ? nullptr : static_cast<const unsigned char*>(base);
}

void TiffFile::UnmapRegion(const unsigned char* base, size_t size) { ::munmap(const_cast<unsigned char*>(base), size); }

size_t TiffFile::MapGranularity() {
  static const auto size = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

uint32_t RemoveFile(const FilePath& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

std::string DisplayPath(const FilePath& path) { return path; }

std::string DescribeSystemError(uint32_t code) { return std::strerror(static_cast<int>(code)); }

}  // namespace corvisk
