// The faxhost command that tests and the demo use to drive a send.
#include "ChildProcess.h"
#include "ProviderFixture.h"
#include "SettingsKey.h"
#include "platform/FaxDev.h"

using namespace corvisk::test;

namespace {

ChildResult RunFaxhost(const std::wstring& arguments) {
  return RunChild(L"\"" + ProgramFolder() + L"faxhost.exe\" " + arguments);
}

TEST(FaxhostCommand, PrintsPacketsResultEventsAndDebuggerOutput) {
  DeleteSettingsKey();
  const ChildResult result = RunFaxhost(L"send --tiff C:\\missing.tif --number 123");
  EXPECT_EQ(result.exitCode, 0u) << result.output;
  // The status block of this tree's bitness: 56 bytes on x64, 44 on x86.
  const std::string bytes = std::to_string(sizeof(FAX_DEV_STATUS));
  const std::string expectedStart = "packet status=0x20000000 error=0x00000000 pages=0 bytes=" + bytes +
                                    "\n"
                                    "packet status=0x20000800 error=0x00000002 pages=0 bytes=" +
                                    bytes +
                                    "\n"
                                    "result=0 lasterror=0x00000002\n"
                                    "event type=1 id=100 text=CorviskFSP is not configured\n"
                                    "\r\nCorviskFSP - FaxDevInitialize\n";
  EXPECT_EQ(result.output.substr(0, expectedStart.size()), expectedStart);
  EXPECT_NE(result.output.find("\r\nCorviskFSP - exit FAILED - 0x2 FaxDevSend\r\n"), std::string::npos);
}

TEST(FaxhostCommand, AbortAfterStopsTheJob) {
  const ChildResult result = RunFaxhost(L"--os 5.2-server send --tiff C:\\missing.tif --number 1 --abort-after 0");
  EXPECT_EQ(result.exitCode, 0u) << result.output;
}

TEST(FaxhostCommand, RejectsAnIncompleteCommandLine) {
  EXPECT_EQ(RunFaxhost(L"send --number 123").exitCode, 2u);
  EXPECT_EQ(RunFaxhost(L"--os five send --tiff a --number 1").exitCode, 2u);
  EXPECT_EQ(RunFaxhost(L"--provider C:\\nowhere.dll send --tiff a --number 1").exitCode, 2u);
}

}  // namespace
