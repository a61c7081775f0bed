#include "AppletSupport.h"

#include "ChildProcess.h"

namespace corvisk::test {

std::wstring AppletPath() { return ProgramFolder() + L"CorviskFSPCPL.cpl"; }

StandInConfigProgram::StandInConfigProgram() {
  char temp[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, temp);
  // Not named like the provider's job files ("Cor*"), which other tests count.
  folder_ = std::string(temp) + "applet-test-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder_.c_str(), nullptr);
  // Inherited by whatever the applet starts.
  SetEnvironmentVariableA("CORVISK_RECORD_FILE", (folder_ + "\\started.txt").c_str());
}

// A started stand-in may still be running, holding its file and the folder.
StandInConfigProgram::~StandInConfigProgram() {
  SetEnvironmentVariableA("CORVISK_RECORD_FILE", nullptr);
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (const char* name : {"\\CorviskFSPConfig.exe", "\\started.txt"}) DeleteFileA((folder_ + name).c_str());
    if (RemoveDirectoryA(folder_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return;
    Sleep(100);
  }
}

bool StandInConfigProgram::Install() const {
  const std::wstring recorder = ProgramFolder() + L"record_command_line.exe";
  const std::wstring target(folder_.begin(), folder_.end());
  return CopyFileW(recorder.c_str(), (target + L"\\CorviskFSPConfig.exe").c_str(), FALSE);
}

std::string StandInConfigProgram::StartedCommandLine(DWORD waitMs) const {
  const std::string record = folder_ + "\\started.txt";
  return RecordedCommandLine(std::wstring(record.begin(), record.end()), waitMs);
}

}  // namespace corvisk::test
