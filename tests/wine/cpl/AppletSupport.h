#pragma once
// What the applet tests share: the applet DLL, a folder of their own with a
// stand-in configuration program that records how it was started, and the
// settings value that points at it.
#include <windows.h>

#include <string>

namespace corvisk::test {

std::wstring AppletPath();

class StandInConfigProgram {
 public:
  StandInConfigProgram();
  ~StandInConfigProgram();
  StandInConfigProgram(const StandInConfigProgram&) = delete;
  StandInConfigProgram& operator=(const StandInConfigProgram&) = delete;

  // The folder, without a trailing separator.
  const std::string& Folder() const { return folder_; }
  // Puts the recording program into the folder as CorviskFSPConfig.exe.
  bool Install() const;
  // The command line the program was started with, or "" if it did not
  // start within waitMs.
  std::string StartedCommandLine(DWORD waitMs) const;

 private:
  std::string folder_;
};

}  // namespace corvisk::test
