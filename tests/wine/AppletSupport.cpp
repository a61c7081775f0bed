#include "AppletSupport.h"

#include "ChildProcess.h"

namespace corvisk::test {

std::wstring AppletPath() { return ProgramFolder() + L"CorviskFSPCPL.cpl"; }

StandInConfigProgram::StandInConfigProgram() {
  char temp[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, temp);
  folder_ = std::string(temp) + "corvisk-applet-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder_.c_str(), nullptr);
  // Inherited by whatever the applet starts.
  SetEnvironmentVariableA("CORVISK_RECORD_FILE", (folder_ + "\\started.txt").c_str());
}

StandInConfigProgram::~StandInConfigProgram() {
  SetEnvironmentVariableA("CORVISK_RECORD_FILE", nullptr);
  for (const char* name : {"\\CorviskFSPConfig.exe", "\\started.txt"}) DeleteFileA((folder_ + name).c_str());
  RemoveDirectoryA(folder_.c_str());
}

bool StandInConfigProgram::Install() const {
  const std::wstring recorder = ProgramFolder() + L"record_command_line.exe";
  const std::wstring target(folder_.begin(), folder_.end());
  return CopyFileW(recorder.c_str(), (target + L"\\CorviskFSPConfig.exe").c_str(), FALSE);
}

std::string StandInConfigProgram::StartedCommandLine(DWORD waitMs) const {
  const std::string record = folder_ + "\\started.txt";
  for (DWORD waited = 0;; waited += 50) {
    HANDLE file = CreateFileA(record.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      char text[1024];
      DWORD read = 0;
      ReadFile(file, text, sizeof text, &read, nullptr);
      CloseHandle(file);
      return std::string(text, read);
    }
    if (waited >= waitMs) return "";
    Sleep(50);
  }
}

}  // namespace corvisk::test
