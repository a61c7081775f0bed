#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tiff/TiffFile.h"
#include "win32/Handles.h"

namespace corvisk {
namespace {

// A file in the temporary folder, removed with the object.
class ScratchFile {
 public:
  explicit ScratchFile(const std::vector<unsigned char>& bytes) {
    wchar_t folder[MAX_PATH];
    wchar_t name[MAX_PATH];
    if (GetTempPathW(MAX_PATH, folder) == 0 || GetTempFileNameW(folder, L"tif", 0, name) == 0) return;
    path_ = name;
    const unique_hfile file(CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file) return;
    written_ = bytes.empty() ||
               (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                written == bytes.size());
  }
  ~ScratchFile() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  bool Written() const { return written_; }
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
  bool written_ = false;
};

std::vector<unsigned char> Pattern(size_t size) {
  std::vector<unsigned char> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + i / 509);
  return bytes;
}

// Reading through a view is as safe as ReadFile only while the file cannot
// shrink: a local document open for reading is mapped, its bytes come out of
// the views right, and meanwhile no other handle can be opened to write it.
TEST(TiffFileOnWindows, LocalDocumentIsReadThroughViewsAndCannotBeWrittenMeanwhile) {
  const std::vector<unsigned char> bytes = Pattern(3 * TiffReader::kViewSize);
  ScratchFile scratch(bytes);
  ASSERT_TRUE(scratch.Written());
  TiffFile file;
  ASSERT_TRUE(file.Open(scratch.Path(), TiffFile::Access::Read));
  EXPECT_TRUE(file.Mappable());
  TiffReader reader(file);
  for (size_t offset : {size_t{0}, TiffReader::kViewSize - 5, 2 * TiffReader::kViewSize + 100, bytes.size() - 16}) {
    unsigned char read[16] = {};
    ASSERT_TRUE(reader.ReadAt(offset, read, sizeof read)) << offset;
    EXPECT_TRUE(std::equal(read, read + sizeof read, bytes.begin() + static_cast<std::ptrdiff_t>(offset))) << offset;
  }

  SetLastError(0xdeadbeef);
  const unique_hfile other(
      CreateFileW(scratch.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const DWORD error = GetLastError();
  EXPECT_FALSE(other);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

// A file opened for writing, and an empty one, are read with ReadFile.
TEST(TiffFileOnWindows, FilesOpenForWritingOrEmptyAreNotMapped) {
  ScratchFile document(Pattern(100));
  ScratchFile empty({});
  ASSERT_TRUE(document.Written());
  ASSERT_TRUE(empty.Written());
  TiffFile file;
  ASSERT_TRUE(file.Open(document.Path(), TiffFile::Access::ReadWrite));
  EXPECT_FALSE(file.Mappable());
  ASSERT_TRUE(file.Open(empty.Path(), TiffFile::Access::Read));
  EXPECT_FALSE(file.Mappable());
}

}  // namespace
}  // namespace corvisk
