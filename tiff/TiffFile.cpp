#include "tiff/TiffFile.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace corvisk {
namespace {

constexpr uint32_t kOutOfMemory = 0x8007000E;  // E_OUTOFMEMORY
constexpr uint32_t kUnexpected = 0x8000FFFF;   // E_UNEXPECTED

}  // namespace

const char* DescribeTiffFault(TiffFault fault) {
  switch (fault) {
    case TiffFault::None:
      return "success";
    case TiffFault::CannotOpen:
      return "cannot open the file";
    case TiffFault::CannotCreate:
      return "cannot create the output file";
    case TiffFault::CannotRead:
      return "cannot read the file";
    case TiffFault::CannotWrite:
      return "cannot write the output file";
    case TiffFault::OutOfMemory:
      return "out of memory";
    case TiffFault::NotTiff:
      return "not a TIFF file";
    case TiffFault::BigEndian:
      return "big-endian (MM) TIFF files are not supported";
    case TiffFault::BeyondEnd:
      return "an offset or count points past the end of the file";
    case TiffFault::DirectoryLoop:
      return "the directory chain loops back on itself";
    case TiffFault::TooManyDirectories:
      return "more directories than a document may have";
    case TiffFault::TooManyEntries:
      return "a page would need more than 65535 directory entries";
    case TiffFault::NoKeptEntry:
      return "a directory has no entry up to tag 306";
    case TiffFault::NoStrip:
      return "a page has no usable strip of image data";
    case TiffFault::MultipleStrips:
      return "a page is stored in more than one strip";
    case TiffFault::TooLarge:
      return "the result would exceed the 4 GiB a TIFF file can address";
  }
  return "unknown failure";
}

uint32_t ErrorCodeOf(const TiffStatus& status) {
  switch (status.fault) {
    case TiffFault::None:
      return 0;
    case TiffFault::CannotOpen:
    case TiffFault::CannotCreate:
    case TiffFault::CannotRead:
    case TiffFault::CannotWrite:
      return status.systemError;
    case TiffFault::OutOfMemory:
      return kOutOfMemory;
    default:
      return kUnexpected;
  }
}

OutputFile::~OutputFile() {
  if (!created_) return;
  file_.Close();
  RemoveFile(path_);
}

TiffStatus OutputFile::Create(const FilePath& path) {
  path_ = path;
  const TiffStatus status = file_.Open(path, TiffFile::Access::Create);
  created_ = static_cast<bool>(status);
  return status;
}

// Closing can be where a write failure first shows, so it decides the outcome.
TiffStatus OutputFile::Keep() {
  const TiffStatus status = file_.Close();
  if (status) created_ = false;
  return status;
}

ChunkWriter::ChunkWriter(TiffFile& file) : file_(file), buffer_(kChunkSize) {}

TiffStatus ChunkWriter::Append(const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    if (used_ == buffer_.size()) {
      if (TiffStatus status = Flush(); !status) return status;
    }
    const size_t part = std::min(size, buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, bytes, part);
    used_ += part;
    bytes += part;
    size -= part;
  }
  return {};
}

// Reads straight into the free part of the buffer: no second copy of the data.
TiffStatus ChunkWriter::AppendFrom(TiffFile& source, uint64_t offset, uint64_t length) {
  while (length > 0) {
    if (used_ == buffer_.size()) {
      if (TiffStatus status = Flush(); !status) return status;
    }
    const size_t part = static_cast<size_t>(std::min<uint64_t>(length, buffer_.size() - used_));
    if (TiffStatus status = source.ReadAt(offset, buffer_.data() + used_, part); !status) return status;
    used_ += part;
    offset += part;
    length -= part;
  }
  return {};
}

TiffStatus ChunkWriter::Flush() {
  if (used_ == 0) return {};
  if (TiffStatus status = file_.WriteAt(flushed_, buffer_.data(), used_); !status) return status;
  flushed_ += used_;
  used_ = 0;
  return {};
}

TiffStatus CopyWholeFile(const FilePath& from, const FilePath& to) {
  try {
    TiffFile source;
    if (TiffStatus status = source.Open(from, TiffFile::Access::Read); !status) return status;
    OutputFile copy;
    if (TiffStatus status = copy.Create(to); !status) return status;
    ChunkWriter writer(copy.file());
    if (TiffStatus status = writer.AppendFrom(source, 0, source.Size()); !status) return status;
    if (TiffStatus status = writer.Flush(); !status) return status;
    return copy.Keep();
  } catch (const std::bad_alloc&) {
    return Fail(TiffFault::OutOfMemory);
  }
}

}  // namespace corvisk
