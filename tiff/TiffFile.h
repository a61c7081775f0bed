#pragma once
// The small file interface under the fax document routines: positioned reads
// and writes on a file opened without sharing, a reader that serves small
// reads from one window, a sequential writer that moves data in fixed-size
// chunks, and an output file that vanishes unless kept. Platform-neutral;
// TiffFile_win.cpp and TiffFile_posix.cpp open the files.
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
// many small reads close together: they are served from one small window,
// filled by one read. Larger reads (image data) go straight to the caller.
// Entries overlaid with OverlayEntry read as if they had been written there.
class TiffReader {
 public:
  static constexpr size_t kWindowSize = 1024;  // a fax page's directory and values fit
  static constexpr size_t kMaxReadRegions = 4096;
  static constexpr size_t kEntrySize = 12;

  explicit TiffReader(TiffFile& file) : file_(file) {}
  uint64_t Size() const { return file_.Size(); }
  TiffStatus ReadAt(uint64_t offset, void* data, size_t size);
  // Keeps the window equal to the file after bytes were written to it.
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

  bool InWindow(uint64_t offset, size_t size) const;
  TiffStatus Fill(uint64_t offset);
  void ApplyOverlay(uint64_t offset, unsigned char* data, size_t size) const;

  TiffFile& file_;
  std::vector<unsigned char> window_;
  uint64_t windowAt_ = 0;
  std::map<uint64_t, Entry> overlay_;  // by offset; overlapping entries agree where they overlap
  bool tracking_ = false;
  bool readRegionsLost_ = false;
  std::map<uint64_t, uint64_t> readRegions_;  // start to end, disjoint and not adjacent
};

// Appends to a file front to back through one fixed-size buffer; memory use
// does not grow with the amount copied.
class ChunkWriter {
 public:
  static constexpr size_t kChunkSize = 64 * 1024;

  explicit ChunkWriter(TiffFile& file);
  TiffStatus Append(const void* data, size_t size);
  TiffStatus AppendFrom(TiffReader& source, uint64_t offset, uint64_t length);
  TiffStatus Flush();
  uint64_t Position() const { return flushed_ + used_; }

 private:
  TiffFile& file_;
  std::vector<unsigned char> buffer_;
  size_t used_ = 0;
  uint64_t flushed_ = 0;
};

}  // namespace corvisk
