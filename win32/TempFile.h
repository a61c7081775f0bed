#pragma once
#include <windows.h>

#include <string>
#include <utility>

#include "win32/LastError.h"

namespace corvisk {

// Owns a file by its path and deletes it when the owner lets go: fax
// documents are private, so no copy may outlive the step that made it.
class unique_temp_file {
 public:
  unique_temp_file() = default;
  explicit unique_temp_file(std::string path) : path_(std::move(path)) {}
  unique_temp_file(const unique_temp_file&) = delete;
  unique_temp_file& operator=(const unique_temp_file&) = delete;
  unique_temp_file(unique_temp_file&& other) noexcept : path_(other.release()) {}
  unique_temp_file& operator=(unique_temp_file&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_temp_file() { reset(); }

  const std::string& path() const { return path_; }
  explicit operator bool() const { return !path_.empty(); }
  // Deletes the owned file (keeping the thread's last error), then owns path.
  void reset(std::string path = std::string()) {
    if (!path_.empty()) {
      const LastErrorKeeper keeper;
      DeleteFileA(path_.c_str());
    }
    path_ = std::move(path);
  }
  [[nodiscard]] std::string release() { return std::exchange(path_, std::string()); }

 private:
  std::string path_;
};

}  // namespace corvisk
