#pragma once
// The small file interface under the fax document routines: positioned reads
// and writes on a file opened without sharing, read-only views mapped from a
// file opened for reading, a reader that serves small reads from one view (or
// window), a sequential writer that moves data in fixed-size chunks, and an
// output file that vanishes unless kept. Platform-neutral; TiffFile_win.cpp
// and TiffFile_posix.cpp open, map and guard the files.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tiff/TiffFault.h"

namespace corvisk {

#ifdef _WIN32
using FilePath = std::wstring;
#else
using FilePath = std::string;
#endif

// Part of what a gathered write puts into the file: bytes of the writer's own,
// or bytes of a view of the source file at `source`.
struct ByteSpan {
  const unsigned char* data = nullptr;
  size_t size = 0;
  int64_t source = -1;
};

class TiffFile {
 public:
  enum class Access { Read, ReadWrite, Create };
  static constexpr size_t kMaxSpans = 64;  // per gathered write

  TiffFile() = default;
  TiffFile(const TiffFile&) = delete;
  TiffFile& operator=(const TiffFile&) = delete;
  ~TiffFile() { Close(); }

  TiffStatus Open(const FilePath& path, Access access);
  TiffStatus Close();
  uint64_t Size() const { return size_; }
  TiffStatus ReadAt(uint64_t offset, void* data, size_t size);
  TiffStatus WriteAt(uint64_t offset, const void* data, size_t size);
  // Writes the spans one after another from `offset` on; at most kMaxSpans.
  TiffStatus WriteGathered(uint64_t offset, const ByteSpan* spans, size_t count);

  // Views can be mapped of a file opened for reading that has bytes and lives
  // where reading through a mapping is safe (see the platform files).
  bool Mappable() const { return mapping_ != -1; }
  // How the pages of a view will be read: here and there, or every one of
  // them (then they are mapped all at once, not one fault at a time).
  enum class Reading { Scattered, Whole };
  // The start of a mapped view of `size` bytes from `offset` (a multiple of
  // MapGranularity()), or null when none could be made.
  const unsigned char* MapRegion(uint64_t offset, size_t size, Reading reading) const;
  static void UnmapRegion(const unsigned char* base, size_t size);
  static size_t MapGranularity();

 private:
  std::intptr_t handle_ = -1;   // both platforms use -1 for "no file"
  std::intptr_t mapping_ = -1;  // views are made of it: a file mapping object on Windows, the descriptor on POSIX
  uint64_t size_ = 0;
};

// Where the platform can write from views in one gathered write, data goes from
// the source's mapping straight to the output; elsewhere it is copied into the
// writer's buffer first.
#ifdef _WIN32
inline constexpr bool kWritesFromViews = false;  // WriteFileGather takes only unbuffered, page-sized pieces
#else
inline constexpr bool kWritesFromViews = true;
#endif

// Copies bytes out of a mapped view. Returns 0, or the platform's error code
// when the file could not supply them (it shrank, or its disk failed).
uint32_t CopyFromView(void* to, const unsigned char* from, size_t size);

// A read-only view of up to a given size of a file opened for reading. Bytes
// are read out of it with CopyFromView.
class FileView {
 public:
  explicit FileView(TiffFile::Reading reading = TiffFile::Reading::Scattered) : reading_(reading) {}
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;
  ~FileView() { Unmap(); }

  // Maps the view that holds [offset, offset + size): it starts at the
  // granularity boundary at or below `offset` and reaches `viewSize` bytes
  // further, or to the end of the file. False when the region does not fit
  // in such a view or inside the file, or no view can be made.
  bool Map(const TiffFile& file, uint64_t offset, uint64_t size, size_t viewSize);
  void Unmap();
  bool Holds(uint64_t offset, uint64_t size) const {
    return base_ && offset >= at_ && offset - at_ <= size_ && size <= size_ - (offset - at_);
  }
  const unsigned char* At(uint64_t offset) const { return base_ + (offset - at_); }

 private:
  TiffFile::Reading reading_;
  const unsigned char* base_ = nullptr;
  uint64_t at_ = 0;  // the file offset of base_
  size_t size_ = 0;
};

// Returns the platform's error code, 0 on success.
uint32_t RemoveFile(const FilePath& path);
// The path as narrow text, for messages (the ANSI code page on Windows).
std::string DisplayPath(const FilePath& path);

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

// Reads a file for the document routines. A directory and its values are
// many small reads close together: they are copied out of a view of the file,
// mapped anew when a read falls outside it. Image data is lent to a writer
// straight from two more views, which small reads use too where they hold
// them. Where the file cannot be mapped, small reads are served from one small
// window, filled by one read, and larger reads go straight to the caller.
// Entries overlaid with OverlayEntry read as if they had been written there.
class TiffReader {
 public:
  static constexpr size_t kViewSize = 256 * 1024;
  static constexpr size_t kWindowSize = 1024;  // a fax page's directory and values fit
  static constexpr size_t kMaxReadRegions = 4096;
  static constexpr size_t kEntrySize = 12;

  explicit TiffReader(TiffFile& file) : file_(file) {}
  uint64_t Size() const { return file_.Size(); }
  TiffStatus ReadAt(uint64_t offset, void* data, size_t size);
  // Lends bytes to a writer that writes them out later, straight from a view:
  // counts them as read, as ReadAt does, and returns where they are, or null
  // where they must be read instead (an overlaid entry among them, no view to
  // be had). Lent bytes stay mapped until ReturnLent().
  const unsigned char* Lend(uint64_t offset, size_t size);
  void ReturnLent();
  // Keeps the window equal to the file after bytes were written to it (a
  // file opened for writing is not mapped).
  void Refresh(uint64_t offset, const void* data, size_t size);
  void OverlayEntry(uint64_t offset, const unsigned char* entry);

  // Remembers which bytes were read while tracking is on, so an edit can tell
  // whether it comes too late for what was already read. Past
  // kMaxReadRegions separate regions every question is answered yes.
  // Returns whether tracking was on.
  bool TrackReads(bool on) { return std::exchange(tracking_, on); }
  void MarkRead(uint64_t offset, uint64_t size);
  bool WasRead(uint64_t offset, uint64_t size) const;

 private:
  using Entry = std::array<unsigned char, kEntrySize>;

  // A lent view: a writer's chunk may hold bytes of two, where one ends and
  // the next begins.
  struct DataView {
    FileView view{TiffFile::Reading::Whole};
    bool lent = false;
  };

  TiffStatus Copy(uint64_t offset, unsigned char* data, size_t size);
  const unsigned char* Mapped(uint64_t offset, size_t size);
  DataView* DataViewHolding(uint64_t offset, size_t size);
  bool InWindow(uint64_t offset, size_t size) const;
  TiffStatus Fill(uint64_t offset);
  void ApplyOverlay(uint64_t offset, unsigned char* data, size_t size) const;
  bool Overlaid(uint64_t offset, uint64_t size) const;

  TiffFile& file_;
  FileView view_;  // for small reads that no data view holds
  std::array<DataView, 2> dataViews_;
  std::vector<unsigned char> window_;
  uint64_t windowAt_ = 0;
  std::map<uint64_t, Entry> overlay_;  // by offset; overlapping entries agree where they overlap
  bool tracking_ = false;
  bool readRegionsLost_ = false;
  std::map<uint64_t, uint64_t> readRegions_;  // start to end, disjoint and not adjacent
};

// Appends to a file front to back in writes of a fixed size; memory use does
// not grow with the amount copied. Each write gathers the bytes appended since
// the last: those given to Append, copied into a buffer, and (where the
// platform writes from views) data the source lends from its views, without a
// copy in between. Data that is not lent is read into the buffer.
class ChunkWriter {
 public:
  static constexpr size_t kChunkSize = 64 * 1024;

  explicit ChunkWriter(TiffFile& file);
  TiffStatus Append(const void* data, size_t size);
  TiffStatus AppendFrom(TiffReader& source, uint64_t offset, uint64_t length);
  TiffStatus Flush();
  uint64_t Position() const { return flushed_ + pending_; }

 private:
  bool AppendLent(TiffReader& source, uint64_t offset, size_t size);
  void AddSpan(const unsigned char* data, size_t size, int64_t source);

  TiffFile& file_;
  std::vector<unsigned char> buffer_;
  size_t used_ = 0;
  std::array<ByteSpan, TiffFile::kMaxSpans> spans_;
  size_t spanCount_ = 0;
  size_t pending_ = 0;
  uint64_t flushed_ = 0;
  TiffReader* lender_ = nullptr;  // of bytes in the pending chunk
};

}  // namespace corvisk
