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
  return RecordedCommandLine(std::wstring(record.begin(), record.end()), waitMs);
}

}  // namespace corvisk::test
