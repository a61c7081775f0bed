// The send procedure driven as the fax service drives it, with settings in
// the Wine registry and real fax documents.
#include <thread>

#include "ChildProcess.h"
#include "ProviderFixture.h"
#include "SettingsKey.h"
#include "win32/Handles.h"

using namespace corvisk::test;
using namespace corvisk::testbed;
using corvisk::unique_handle;

namespace {

constexpr DWORD kNotFound = ERROR_FILE_NOT_FOUND;
const char kNotConfigured[] = "CorviskFSP is not configured";
const char kProbe[] = "C:\\probe.exe";

class SendTest : public ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    DeleteSettingsKey();
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"preprocess_probe.exe").c_str(), L"C:\\probe.exe", FALSE));
    ASSERT_TRUE(JobTempFiles().empty()) << "files of an earlier job in the temporary folder";
    StartService();
    job_ = StartJob(9);
  }
  void TearDown() override {
    EndJob(job_);
    DeleteSettingsKey();
    EXPECT_TRUE(JobTempFiles().empty()) << "the send left files of the job behind";
    ProviderTest::TearDown();
  }

  // Sends document to 123 and returns the final packet.
  StatusPacket SendDocument(const std::wstring& document) {
    FAX_SEND send = SendFor(L"T 123");
    send.FileName = const_cast<wchar_t*>(document.c_str());
    SetLastError(kUntouched);
    result_ = Host().FaxDevSend(job_, &send, nullptr);
    lastError_ = GetLastError();
    std::vector<StatusPacket> packets = TakePackets();
    EXPECT_EQ(packets.size(), 2u);
    return packets.empty() ? StatusPacket{} : packets.back();
  }
  StatusPacket SendFax() { return SendDocument(TestFax(L"fine3.tif")); }

  void ExpectOneErrorEvent(const std::string& text) {
    const std::vector<CapturedEvent> events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].source, "CorviskFSP");
    EXPECT_EQ(events[0].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(events[0].category, 0);
    EXPECT_EQ(events[0].id, 100u);
    EXPECT_FALSE(events[0].hasUser);
    EXPECT_EQ(events[0].dataSize, 0u);
    ASSERT_EQ(events[0].strings.size(), 1u);
    EXPECT_EQ(events[0].strings[0], text);
  }

  HANDLE job_ = nullptr;
  BOOL result_ = TRUE;
  DWORD lastError_ = 0;
};

TEST_F(SendTest, WithoutSettingsKeyTheJobFailsAsNotConfigured) {
  const StatusPacket final = SendFax();
  EXPECT_FALSE(result_);
  EXPECT_EQ(lastError_, kNotFound);
  EXPECT_EQ(final.statusId, FS_FATAL_ERROR);
  EXPECT_EQ(final.errorCode, kNotFound);
  ExpectOneErrorEvent(kNotConfigured);
  EXPECT_NE(DebugText().find("\r\nOnError=0X2\r\n"), std::string::npos) << "logged before DebugOutput is read";
}

TEST_F(SendTest, MissingGatewayPasswordFailsAfterTheLogSwitchWasApplied) {
  WriteSetting("NotifyMeEMailAddress", "sender@example.com");
  SendFax();
  EXPECT_EQ(lastError_, kNotFound);
  ExpectOneErrorEvent(kNotConfigured);
  EXPECT_EQ(DebugText().find("OnError"), std::string::npos) << "DebugOutput is off by the time CorviskPwd is read";
  ClearCapture();
  WriteSetting("DebugOutput", "Y");
  SendFax();
  EXPECT_NE(DebugText().find("\r\nOnError=0X2\r\n"), std::string::npos);
}

TEST_F(SendTest, NotifyAddressMustFitItsBuffer) {
  WriteMinimalSettings();
  WriteSetting("NotifyMeEMailAddress", std::string(127, 'a'));
  EXPECT_EQ(SendFax().errorCode, static_cast<DWORD>(ERROR_MORE_DATA));
  ExpectOneErrorEvent(kNotConfigured);
  ClearCapture();
  WriteSetting("NotifyMeEMailAddress", std::string(126, 'a'));
  const StatusPacket final = SendFax();
  EXPECT_EQ(final.errorCode, kUnexpected) << "126 characters pass; the send fails later, in the transport";
}

TEST_F(SendTest, DebugOutputIsOnOnlyForAFirstLetterY) {
  WriteMinimalSettings();
  const std::pair<const char*, bool> cases[] = {
      {"yes", true}, {"Y", true}, {"1", false}, {"true", false}, {nullptr, false}};
  for (const auto& [value, on] : cases) {
    if (value)
      WriteSetting("DebugOutput", value);
    else
      DeleteSetting("DebugOutput");
    ClearCapture();
    SendFax();
    EXPECT_EQ(DebugText().find("SendCDOMessage failed") != std::string::npos, on) << (value ? value : "absent");
  }
}

TEST_F(SendTest, DocumentThatCannotBeCopiedLeavesNothingBehind) {
  WriteMinimalSettings();
  const StatusPacket final = SendDocument(L"C:\\no\\such\\fax.tif");
  EXPECT_EQ(final.statusId, FS_FATAL_ERROR);
  EXPECT_EQ(final.errorCode, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  ExpectOneErrorEvent("CopyFile() failed");
}

TEST_F(SendTest, DocumentThatIsNoTiffFailsInTheRestructuring) {
  WriteMinimalSettings();
  WriteSetting("DebugOutput", "Y");
  const std::wstring notTiff = ProgramFolder() + L"preprocess_probe.exe";
  const StatusPacket final = SendDocument(notTiff);
  EXPECT_EQ(final.statusId, FS_FATAL_ERROR);
  ExpectOneErrorEvent("RestructureTiffFile() failed");
  // The job's log names the fault after the fixed text; the event does not.
  EXPECT_NE(DebugText().find("RestructureTiffFile() failed: not a TIFF file\r\n"), std::string::npos) << DebugText();
}

TEST_F(SendTest, TransportFailureEndsTheJobWithUnexpected) {
  WriteMinimalSettings();
  WriteSetting("DebugOutput", "Y");
  const StatusPacket final = SendFax();
  EXPECT_FALSE(result_);
  EXPECT_EQ(lastError_, kUnexpected);
  EXPECT_EQ(final.statusId, FS_FATAL_ERROR);
  EXPECT_EQ(final.errorCode, kUnexpected);
  EXPECT_EQ(final.pageCount, 0u);
  EXPECT_NE(DebugText().find("SendCDOMessage failed\r\n"), std::string::npos);
}

TEST_F(SendTest, NullSendDescriptionRecordsNothing) {
  WriteMinimalSettings();
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevSend(job_, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), 0u);
  const std::vector<StatusPacket> packets = TakePackets();
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[1].statusId, FS_INITIALIZING);
  EXPECT_EQ(packets[1].errorCode, 0u);
}

TEST_F(SendTest, AbortBeforeSendStopsAtTheFirstCheckpoint) {
  WriteMinimalSettings();
  WriteSetting("DebugOutput", "Y");
  ASSERT_TRUE(Host().FaxDevAbortOperation(job_));
  const StatusPacket final = SendFax();
  EXPECT_EQ(final.statusId, FS_USER_ABORT);
  EXPECT_EQ(final.errorCode, 995u);
  EXPECT_TRUE(Events().empty());
  EXPECT_NE(DebugText().find("CT37ClientFaxItem - Operation Aborted"), std::string::npos);
}

class PreprocessTest : public SendTest {
 protected:
  void SetUp() override {
    SendTest::SetUp();
    WriteMinimalSettings();
    WriteSetting("DebugOutput", "Y");
  }
};

TEST_F(PreprocessTest, TemplateWithOnePercentSIsSkipped) {
  WriteSetting("PreProcessCmd", std::string(kProbe) + " copy %s");
  SendFax();
  EXPECT_NE(DebugText().find("PreProcessCommand is specified but is not valid\r\n"), std::string::npos);
  EXPECT_EQ(DebugText().find("Preprocess Command "), std::string::npos);
  EXPECT_NE(DebugText().find("SendCDOMessage failed"), std::string::npos) << "the fax still goes to the transport";
}

TEST_F(PreprocessTest, CommandThatCreatesTheTargetReplacesTheDocument) {
  for (const char* mode : {"copy", "copy3"}) {
    WriteSetting("PreProcessCmd", std::string(kProbe) + " " + mode + " %s %s");
    ClearCapture();
    SendFax();
    const std::string text = DebugText();
    const size_t line = text.find("Preprocess Command C:\\probe.exe ");
    ASSERT_NE(line, std::string::npos) << text;
    const size_t end = text.find(" - success\r\n", line);
    ASSERT_NE(end, std::string::npos) << mode << ": the exit code is not consulted";
    std::string commandLine = text.substr(line + 19, end - line - 19);
    // The working file is the temporary name with "if" for its last two
    // characters; the platform chooses the case of that name.
    CharUpperA(commandLine.data());
    EXPECT_NE(commandLine.find(".TIF "), std::string::npos) << commandLine;
    EXPECT_EQ(commandLine.substr(commandLine.size() - 5), "2.TIF") << commandLine;
    for (const CapturedEvent& event : Events())
      EXPECT_EQ(event.strings.at(0).find("PreProcessCommand"), std::string::npos) << event.strings.at(0);
  }
}

TEST_F(PreprocessTest, CommandWithoutTargetFailsTheJob) {
  WriteSetting("PreProcessCmd", std::string(kProbe) + " none %s %s");
  const StatusPacket final = SendFax();
  EXPECT_EQ(final.statusId, FS_FATAL_ERROR);
  EXPECT_EQ(final.errorCode, kNotFound);
  ExpectOneErrorEvent("PreProcessCommand has not created a target file");
  EXPECT_NE(DebugText().find("PreProcessCommand has not created a target file\r\n"), std::string::npos);
}

TEST_F(PreprocessTest, CommandThatCannotStartFailsTheJob) {
  WriteSetting("PreProcessCmd", "C:\\no\\such\\program.exe %s %s");
  const StatusPacket final = SendFax();
  EXPECT_EQ(final.statusId, FS_FATAL_ERROR);
  EXPECT_NE(final.errorCode, 0u);
  ExpectOneErrorEvent("Failed to start PreProcessCommand");
}

TEST_F(PreprocessTest, CommandThatNeverEndsIsEndedByTheAbort) {
  WriteSetting("PreProcessCmd", std::string(kProbe) + " hang %s %s");
  std::thread aborter([this] {
    // Give the send time to start the command; an earlier abort is caught at the first checkpoint too.
    Sleep(1500);
    Host().FaxDevAbortOperation(job_);
  });
  const StatusPacket final = SendFax();
  aborter.join();
  EXPECT_EQ(final.statusId, FS_USER_ABORT);
  EXPECT_EQ(final.errorCode, 995u);
  EXPECT_NE(DebugText().find("Preprocess Command "), std::string::npos);
}

TEST_F(PreprocessTest, CommandOfAJobAbortedBeforeItsSendIsEndedAtOnce) {
  // Regression: no abort comes after the start, so a command that never ends
  // held the send for ever.
  WriteSetting("PreProcessCmd", std::string(kProbe) + " hang %s %s");
  ASSERT_TRUE(Host().FaxDevAbortOperation(job_));
  const StatusPacket final = SendFax();
  EXPECT_EQ(final.statusId, FS_USER_ABORT);
  EXPECT_EQ(final.errorCode, 995u);
  EXPECT_NE(DebugText().find("Preprocess Command "), std::string::npos) << "the command still starts";
}

// Regression: an abort that arrived while the send created its preprocessing
// child waited for the creation while holding the provider's lock, so every
// status query of every job waited as long.
TEST_F(PreprocessTest, AbortDuringChildCreationHoldsUpNoStatusQuery) {
  WriteSetting("PreProcessCmd", std::string(kProbe) + " hang %s %s");
  const unique_handle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const unique_handle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const unique_handle answered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HoldProcessCreation(entered.get(), release.get());
  StatusPacket final;
  std::thread sender([&] { final = SendFax(); });
  ASSERT_EQ(WaitForSingleObject(entered.get(), 30000), WAIT_OBJECT_0);
  BOOL aborted = FALSE, reported = FALSE;
  std::thread caller([&] {
    aborted = Host().FaxDevAbortOperation(job_);
    DWORD required = 0;
    reported = Host().FaxDevReportStatus(job_, nullptr, 0, &required);
    SetEvent(answered.get());
  });
  const DWORD waited = WaitForSingleObject(answered.get(), 5000);
  SetEvent(release.get());
  caller.join();
  sender.join();
  HoldProcessCreation(nullptr, nullptr);
  EXPECT_EQ(waited, WAIT_OBJECT_0) << "the abort and the status query waited for the process creation";
  EXPECT_TRUE(aborted);
  EXPECT_TRUE(reported);
  EXPECT_EQ(final.statusId, FS_USER_ABORT) << "the child started after the abort is ended";
  EXPECT_EQ(final.errorCode, 995u);
}

}  // namespace
