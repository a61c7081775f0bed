#pragma once
// The small file interface under the fax document routines: positioned reads
// and writes on a file opened without sharing, a sequential writer that moves
// data in fixed-size chunks, and an output file that vanishes unless kept.
// Platform-neutral; TiffFile_win.cpp and TiffFile_posix.cpp open the files.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvisk {

#ifdef _WIN32
using FilePath = std::wstring;
#else
using FilePath = std::string;
#endif

// Every way the document routines can fail. Closed set: each kind has one
// line of text (DescribeTiffFault) and one error code for the job.
enum class TiffFault : uint8_t {
  None,
  CannotOpen,
  CannotCreate,
  CannotRead,
  CannotWrite,
  OutOfMemory,
  NotTiff,
  BigEndian,
  BeyondEnd,
  DirectoryLoop,
  TooManyDirectories,
  TooManyEntries,
  NoKeptEntry,
  NoStrip,
  MultipleStrips,
  TooLarge,
};

struct TiffStatus {
  TiffFault fault = TiffFault::None;
  uint32_t systemError = 0;  // the platform's code for the four I/O kinds, else 0

  explicit operator bool() const { return fault == TiffFault::None; }
};

inline TiffStatus Fail(TiffFault fault, uint32_t systemError = 0) { return {fault, systemError}; }

const char* DescribeTiffFault(TiffFault fault);
// The code a job records: the system error for I/O kinds, E_OUTOFMEMORY when
// memory ran out, E_UNEXPECTED for a malformed document.
uint32_t ErrorCodeOf(const TiffStatus& status);
// The platform's own text for a system error code, on one line.
std::string DescribeSystemError(uint32_t code);

class TiffFile {
 public:
  enum class Access { Read, ReadWrite, Create };

  TiffFile() = default;
  TiffFile(const TiffFile&) = delete;
  TiffFile& operator=(const TiffFile&) = delete;
  ~TiffFile() { Close(); }

  TiffStatus Open(const FilePath& path, Access access);
  TiffStatus Close();
  uint64_t Size() const { return size_; }
  TiffStatus ReadAt(uint64_t offset, void* data, size_t size);
  TiffStatus WriteAt(uint64_t offset, const void* data, size_t size);

 private:
  std::intptr_t handle_ = -1;  // both platforms use -1 for "no file"
  uint64_t size_ = 0;
};

// Returns the platform's error code, 0 on success.
uint32_t RemoveFile(const FilePath& path);

// A file created for output. Unless Keep() succeeds, destruction closes and
// removes it, so a copy that fails part-way leaves no partial file behind.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  TiffStatus Create(const FilePath& path);
  TiffFile& file() { return file_; }
  TiffStatus Keep();

 private:
  TiffFile file_;
  FilePath path_;
  bool created_ = false;
};

// Appends to a file front to back through one fixed-size buffer; memory use
// does not grow with the amount copied.
class ChunkWriter {
 public:
  static constexpr size_t kChunkSize = 64 * 1024;

  explicit ChunkWriter(TiffFile& file);
  TiffStatus Append(const void* data, size_t size);
  TiffStatus AppendFrom(TiffFile& source, uint64_t offset, uint64_t length);
  TiffStatus Flush();
  uint64_t Position() const { return flushed_ + used_; }

 private:
  TiffFile& file_;
  std::vector<unsigned char> buffer_;
  size_t used_ = 0;
  uint64_t flushed_ = 0;
};

// Copies a whole file through a ChunkWriter; the copy is removed on failure.
TiffStatus CopyWholeFile(const FilePath& from, const FilePath& to);

}  // namespace corvisk
