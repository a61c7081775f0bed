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

bool FileView::Map(const TiffFile& file, uint64_t offset, uint64_t size, size_t viewSize) {
  const uint64_t start = offset - offset % TiffFile::MapGranularity();
  if (!file.Mappable() || offset > file.Size() || size > file.Size() - offset || offset + size - start > viewSize) {
    return false;
  }
  Unmap();
  const auto length = static_cast<size_t>(std::min<uint64_t>(viewSize, file.Size() - start));
  base_ = file.MapRegion(start, length, reading_);
  if (!base_) return false;
  at_ = start;
  size_ = length;
  return true;
}

void FileView::Unmap() {
  if (!base_) return;
  TiffFile::UnmapRegion(base_, size_);
  base_ = nullptr;
  size_ = 0;
}

TiffStatus TiffReader::ReadAt(uint64_t offset, void* data, size_t size) {
  auto* bytes = static_cast<unsigned char*>(data);
  if (size == 0) return {};
  if (tracking_) MarkRead(offset, size);
  if (TiffStatus status = Copy(offset, bytes, size); !status) return AtOffset(status, offset);
  ApplyOverlay(offset, bytes, size);
  return {};
}

const unsigned char* TiffReader::Lend(uint64_t offset, size_t size) {
  if (tracking_) MarkRead(offset, size);
  if (Overlaid(offset, size)) return nullptr;
  DataView* data = DataViewHolding(offset, size);
  if (!data) return nullptr;
  data->lent = true;
  return data->view.At(offset);
}

void TiffReader::ReturnLent() {
  for (DataView& data : dataViews_) data.lent = false;
}

// A data view that holds no lent bytes is free to move.
TiffReader::DataView* TiffReader::DataViewHolding(uint64_t offset, size_t size) {
  for (DataView& data : dataViews_) {
    if (data.view.Holds(offset, size)) return &data;
  }
  for (DataView& data : dataViews_) {
    if (!data.lent) return data.view.Map(file_, offset, size, kViewSize) ? &data : nullptr;
  }
  return nullptr;
}

// From a view where the file can be mapped, else from the window, else (too
// large for the window, or running past the end) the file itself decides.
TiffStatus TiffReader::Copy(uint64_t offset, unsigned char* data, size_t size) {
  if (const unsigned char* mapped = Mapped(offset, size)) {
    if (uint32_t error = CopyFromView(data, mapped, size)) return Fail(TiffFault::CannotRead, error);
    return {};
  }
  if (!InWindow(offset, size) && size < kWindowSize && offset < Size()) {
    if (TiffStatus status = Fill(offset); !status) return status;
  }
  if (InWindow(offset, size)) {
    std::memcpy(data, window_.data() + (offset - windowAt_), size);
    return {};
  }
  return file_.ReadAt(offset, data, size);
}

// A directory mostly lies beside the image data just lent, already mapped.
const unsigned char* TiffReader::Mapped(uint64_t offset, size_t size) {
  for (const DataView& data : dataViews_) {
    if (data.view.Holds(offset, size)) return data.view.At(offset);
  }
  if (view_.Holds(offset, size) || view_.Map(file_, offset, size, kViewSize)) return view_.At(offset);
  return nullptr;
}

bool TiffReader::InWindow(uint64_t offset, size_t size) const {
  return offset >= windowAt_ && offset - windowAt_ <= window_.size() && size <= window_.size() - (offset - windowAt_);
}

TiffStatus TiffReader::Fill(uint64_t offset) {
  const size_t size = static_cast<size_t>(std::min<uint64_t>(kWindowSize, Size() - offset));
  window_.resize(size);
  windowAt_ = offset;
  if (TiffStatus status = file_.ReadAt(offset, window_.data(), size); !status) {
    window_.clear();
    return status;
  }
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

bool TiffReader::Overlaid(uint64_t offset, uint64_t size) const {
  auto it = overlay_.lower_bound(offset >= kEntrySize ? offset - kEntrySize + 1 : 0);
  return it != overlay_.end() && it->first < offset + size;
}

// An entry overlapping earlier ones takes their place where they overlap, as
// a later write would; so the order in which they are applied does not matter.
void TiffReader::OverlayEntry(uint64_t offset, const unsigned char* entry) {
  auto it = overlay_.lower_bound(offset >= kEntrySize ? offset - kEntrySize + 1 : 0);
  for (; it != overlay_.end() && it->first < offset + kEntrySize; ++it) {
    CopyOverlap(offset, entry, kEntrySize, it->first, it->second.data(), kEntrySize);
  }
  std::copy(entry, entry + kEntrySize, overlay_[offset].begin());
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
    if (pending_ == kChunkSize) {
      if (TiffStatus status = Flush(); !status) return status;
    }
    const size_t part = std::min(size, kChunkSize - pending_);
    std::memcpy(buffer_.data() + used_, bytes, part);
    AddSpan(buffer_.data() + used_, part, -1);
    used_ += part;
    bytes += part;
    size -= part;
  }
  return {};
}

// What is not lent is read straight into the buffer: no second copy of the
// data either way.
TiffStatus ChunkWriter::AppendFrom(TiffReader& source, uint64_t offset, uint64_t length) {
  while (length > 0) {
    if (pending_ == kChunkSize) {
      if (TiffStatus status = Flush(); !status) return status;
    }
    const size_t part = static_cast<size_t>(std::min<uint64_t>(length, kChunkSize - pending_));
    if (!AppendLent(source, offset, part)) {
      if (TiffStatus status = source.ReadAt(offset, buffer_.data() + used_, part); !status) return status;
      AddSpan(buffer_.data() + used_, part, -1);
      used_ += part;
    }
    offset += part;
    length -= part;
  }
  return {};
}

// The last span is kept for bytes of the buffer, which then join it.
bool ChunkWriter::AppendLent(TiffReader& source, uint64_t offset, size_t size) {
  if (!kWritesFromViews || spanCount_ + 1 >= spans_.size()) return false;
  const unsigned char* data = source.Lend(offset, size);
  if (!data) return false;
  AddSpan(data, size, static_cast<int64_t>(offset));
  lender_ = &source;
  return true;
}

// Bytes that continue the last span, in memory and in the source, join it.
void ChunkWriter::AddSpan(const unsigned char* data, size_t size, int64_t source) {
  pending_ += size;
  if (spanCount_ > 0) {
    ByteSpan& last = spans_[spanCount_ - 1];
    const bool continues = last.source < 0 ? source < 0 : source == last.source + static_cast<int64_t>(last.size);
    if (continues && last.data + last.size == data) {
      last.size += size;
      return;
    }
  }
  spans_[spanCount_++] = ByteSpan{data, size, source};
}

TiffStatus ChunkWriter::Flush() {
  if (pending_ == 0) return {};
  if (TiffStatus status = file_.WriteGathered(flushed_, spans_.data(), spanCount_); !status) return status;
  flushed_ += pending_;
  pending_ = 0;
  used_ = 0;
  spanCount_ = 0;
  if (lender_) lender_->ReturnLent();
  lender_ = nullptr;
  return {};
}

}  // namespace corvisk
