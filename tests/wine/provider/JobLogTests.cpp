// The job log file: one per job at a time, stamped, unshared, truncated by
// the next job that logs.
#include <shlobj.h>

#include <fstream>
#include <sstream>

#include "ProviderFixture.h"

using namespace corvisk::test;
using namespace corvisk::testbed;

namespace {

const char kRefusal[] = "\r\nOnError=0X8000ffff\r\n";

constexpr char kLogName[] = "\\CorviskFSP3.0.1.log";

std::string LogPath() {
  char folder[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
  return folder + std::string(kLogName);
}

std::string SystemFolderLogPath() {
  char folder[MAX_PATH] = "";
  GetSystemDirectoryA(folder, MAX_PATH);
  return folder + std::string(kLogName);
}

// Reads the log while a job may still hold it: the provider shares it with
// no one, so a read that fails says the file is held.
bool ReadLog(std::string& content, const std::string& path = LogPath()) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD read = 0;
  content.clear();
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) content.append(buffer, read);
  CloseHandle(file);
  return true;
}

// The stamp: the local date and time as text, then " : ".
void ExpectStampedWith(const std::string& content, const std::string& texts) {
  const size_t separator = content.find(" : ");
  ASSERT_NE(separator, std::string::npos) << content;
  EXPECT_GT(separator, 5u) << "date and time before the separator";
  EXPECT_EQ(content.substr(separator + 3), texts);
}

class JobLogTest : public ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    DeleteFileA(LogPath().c_str());
    StartService();
  }
  void Refuse(HANDLE job) {
    FAX_RECEIVE receive{};
    EXPECT_FALSE(Host().FaxDevReceive(job, 0, &receive));
    TakePackets();
  }
};

TEST_F(JobLogTest, FirstLoggedTextCreatesTheStampedFile) {
  HANDLE job = StartJob();
  std::string content;
  EXPECT_FALSE(ReadLog(content)) << "no file before the job logs";
  Refuse(job);
  EXPECT_FALSE(ReadLog(content)) << "the job holds its log unshared";
  EndJob(job);
  ASSERT_TRUE(ReadLog(content));
  ExpectStampedWith(content, kRefusal);
}

TEST_F(JobLogTest, SecondJobCannotOpenTheHeldFileAndWritesNothing) {
  HANDLE first = StartJob(1), second = StartJob(2);
  Refuse(first);
  ClearCapture();
  Refuse(second);
  EXPECT_NE(DebugText().find(kRefusal), std::string::npos) << "the second job still traces to the debugger";
  EndJob(second);
  EndJob(first);
  std::string content;
  ASSERT_TRUE(ReadLog(content));
  ExpectStampedWith(content, kRefusal);
}

TEST_F(JobLogTest, NewJobTruncatesThePreviousLog) {
  HANDLE first = StartJob(1);
  Refuse(first);
  Refuse(first);
  EndJob(first);
  std::string content;
  ASSERT_TRUE(ReadLog(content));
  ExpectStampedWith(content, std::string(kRefusal) + kRefusal);
  HANDLE next = StartJob(2);
  Refuse(next);
  EndJob(next);
  ASSERT_TRUE(ReadLog(content));
  ExpectStampedWith(content, kRefusal);
}

TEST_F(JobLogTest, WithoutTheAllUsersFolderTheLogGoesToTheSystemFolder) {
  DeleteFileA(SystemFolderLogPath().c_str());
  HideCommonAppData(true);
  HANDLE job = StartJob();
  Refuse(job);
  EndJob(job);
  HideCommonAppData(false);
  std::string content;
  EXPECT_FALSE(ReadLog(content)) << "nothing in the all-users folder";
  ASSERT_TRUE(ReadLog(content, SystemFolderLogPath()));
  ExpectStampedWith(content, kRefusal);
  DeleteFileA(SystemFolderLogPath().c_str());
}

}  // namespace
