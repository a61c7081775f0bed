#include "tiff/TiffFile.h"

#include <algorithm>
#include <cstring>

namespace corvisk {
namespace {

// Copies the part of [from, from + size) that overlaps [to, to + toSize).
void CopyOverlap(uint64_t from, const unsigned char* data, size_t size, uint64_t to, unsigned char* target,
                 size_t toSize) {
  const uint64_t begin = std::max(from, to);
  const uint64_t end = std::min(from + size, to + toSize);
  if (begin < end) std::memcpy(target + (begin - to), data + (begin - from), static_cast<size_t>(end - begin));
}

}  // namespace

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

bool TiffReader::InWindow(uint64_t offset, size_t size) const {
  return offset >= windowAt_ && offset - windowAt_ <= window_.size() && size <= window_.size() - (offset - windowAt_);
}

TiffStatus TiffReader::ReadAt(uint64_t offset, void* data, size_t size) {
  auto* bytes = static_cast<unsigned char*>(data);
  if (size == 0) return {};
  if (tracking_) MarkRead(offset, size);
  if (!InWindow(offset, size) && size < kWindowSize && offset < Size()) {
    if (TiffStatus status = Fill(offset); !status) return status;
  }
  if (InWindow(offset, size)) {
    std::memcpy(bytes, window_.data() + (offset - windowAt_), size);
    return {};
  }
  // Too large for the window, or running past the end: the file itself decides.
  if (TiffStatus status = file_.ReadAt(offset, bytes, size); !status) return AtOffset(status, offset);
  ApplyOverlay(offset, bytes, size);
  return {};
}

TiffStatus TiffReader::Fill(uint64_t offset) {
  const size_t size = static_cast<size_t>(std::min<uint64_t>(kWindowSize, Size() - offset));
  window_.resize(size);
  windowAt_ = offset;
  if (TiffStatus status = file_.ReadAt(offset, window_.data(), size); !status) {
    window_.clear();
    return AtOffset(status, offset);
  }
  ApplyOverlay(offset, window_.data(), size);
  return {};
}

void TiffReader::Refresh(uint64_t offset, const void* data, size_t size) {
  CopyOverlap(offset, static_cast<const unsigned char*>(data), size, windowAt_, window_.data(), window_.size());
}

void TiffReader::ApplyOverlay(uint64_t offset, unsigned char* data, size_t size) const {
  auto it = overlay_.lower_bound(offset >= kEntrySize ? offset - kEntrySize + 1 : 0);
  for (; it != overlay_.end() && it->first < offset + size; ++it) {
    CopyOverlap(it->first, it->second.data(), kEntrySize, offset, data, size);
  }
}

// An entry overlapping earlier ones takes their place where they overlap, as
// a later write would; so the order in which they are applied does not matter.
void TiffReader::OverlayEntry(uint64_t offset, const unsigned char* entry) {
  auto it = overlay_.lower_bound(offset >= kEntrySize ? offset - kEntrySize + 1 : 0);
  for (; it != overlay_.end() && it->first < offset + kEntrySize; ++it) {
    CopyOverlap(offset, entry, kEntrySize, it->first, it->second.data(), kEntrySize);
  }
  std::copy(entry, entry + kEntrySize, overlay_[offset].begin());
  Refresh(offset, entry, kEntrySize);
}

// Reads mostly continue or fill in one region, so that case changes the
// region in place; only a read that starts a region of its own adds one.
void TiffReader::MarkRead(uint64_t offset, uint64_t size) {
  if (readRegionsLost_) return;
  const uint64_t end = offset + size;
  auto it = readRegions_.upper_bound(offset);
  if (it != readRegions_.begin() && std::prev(it)->second >= offset) {
    --it;
  } else {
    it = readRegions_.emplace_hint(it, offset, end);
  }
  it->second = std::max(it->second, end);
  for (auto next = std::next(it); next != readRegions_.end() && next->first <= it->second;) {
    it->second = std::max(it->second, next->second);
    next = readRegions_.erase(next);
  }
  if (readRegions_.size() <= kMaxReadRegions) return;
  readRegionsLost_ = true;
  readRegions_.clear();
}

bool TiffReader::WasRead(uint64_t offset, uint64_t size) const {
  if (readRegionsLost_) return true;
  auto it = readRegions_.upper_bound(offset);
  if (it != readRegions_.begin() && std::prev(it)->second > offset) return true;
  return it != readRegions_.end() && it->first < offset + size;
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
TiffStatus ChunkWriter::AppendFrom(TiffReader& source, uint64_t offset, uint64_t length) {
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

}  // namespace corvisk
