#pragma once
// Moves a file aside for the life of the object, so that a test can show the
// program under test a machine where that file is absent.
#include <windows.h>

#include <string>
#include <utility>

namespace corvisk::test {

class HiddenFile {
 public:
  explicit HiddenFile(std::wstring path) : path_(std::move(path)), hidden_(path_ + L".hidden") {
    moved_ = MoveFileExW(path_.c_str(), hidden_.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
  }
  ~HiddenFile() {
    if (moved_) MoveFileExW(hidden_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  HiddenFile(const HiddenFile&) = delete;
  HiddenFile& operator=(const HiddenFile&) = delete;

 private:
  std::wstring path_, hidden_;
  bool moved_ = false;
};

}  // namespace corvisk::test
