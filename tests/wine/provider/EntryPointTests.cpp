// The FaxDev entry points: results, last errors and debugger lines, in every
// provider state.
#include "ProviderFixture.h"

using namespace corvisk::test;
using namespace corvisk::testbed;

namespace {

const char kInitializeText[] = "\r\nCorviskFSP - FaxDevInitialize\n\r\nCorviskFSP - exit - FaxDevInitialize\r\n";
const char kHeapText[] = "\r\nCorviskFSP - operator new - heap not initialised\n";

class EntryPointTest : public ProviderTest {};

TEST_F(EntryPointTest, InitializeStoresLineCallbackAndTraces) {
  HANDLE heap = HeapCreate(0, 0, 0);
  PFAX_LINECALLBACK callback = nullptr;
  SetLastError(kUntouched);
  EXPECT_TRUE(Host().FaxDevInitialize(0, heap, &callback, nullptr));
  EXPECT_EQ(GetLastError(), 0u);
  ASSERT_NE(callback, nullptr);
  callback(nullptr, 0, 0, 0, 0, 0, 0);  // the line callback accepts anything and does nothing
  EXPECT_EQ(DebugText(), kInitializeText);
  EXPECT_EQ(Host().FaxDevShutdown(), S_OK);
}

TEST_F(EntryPointTest, VirtualDeviceCreationWorksBeforeInitialize) {
  DWORD count = 0, prefix = 0;
  WCHAR name[128] = L"";
  SetLastError(kUntouched);
  EXPECT_TRUE(Host().FaxDevVirtualDeviceCreation(&count, name, &prefix, nullptr, 7));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(prefix, 0x7700u);
  EXPECT_STREQ(name, L"CorviskFSP");
  EXPECT_EQ(DebugText(),
            "\r\nCorviskFSP ver.0,3,0,1\r\nFaxDevVirtualDeviceCreation\r\n"
            "\r\nCorviskFSP - exit - FaxDevVirtualDeviceCreation\n");
}

TEST_F(EntryPointTest, StartJobBeforeInitializeFailsOnTheAllocation) {
  HANDLE job = nullptr;
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevStartJob(0, kServiceDeviceId, &job, nullptr, 0));
  EXPECT_EQ(GetLastError(), 0x8007000Eu);
  EXPECT_EQ(DebugText(), kHeapText);
}

TEST_F(EntryPointTest, ShutdownWithoutInitializeWritesOnlyItsLine) {
  SetLastError(kUntouched);
  EXPECT_EQ(Host().FaxDevShutdown(), S_OK);
  EXPECT_EQ(DebugText(), "\r\nCorviskFSP - FaxDevShutdown() without FaxDevInitialize()\r\n");
}

TEST_F(EntryPointTest, CallsBeforeInitializeTakeTheExceptionPath) {
  HANDLE bogus = reinterpret_cast<HANDLE>(0x1000);
  FAX_SEND send = SendFor();
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevEndJob(bogus));
  EXPECT_EQ(GetLastError(), kUnexpected);
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevSend(bogus, &send, nullptr));
  EXPECT_EQ(GetLastError(), kUnexpected);
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevReceive(bogus, 0, nullptr));
  EXPECT_EQ(GetLastError(), kUnexpected);
  EXPECT_EQ(DebugText(),
            "\r\nCorviskFSP - exception - FaxDevEndJob\r\n"
            "\r\nCorviskFSP - begin - FaxDevSend\r\n\r\nCorviskFSP - exception - FaxDevSend\r\n"
            "\r\nCorviskFSP - begin - FaxDevReceive\r\n\r\nCorviskFSP - exception - FaxDevReceive\r\n");
}

TEST_F(EntryPointTest, StatusAndAbortBeforeInitializeLeaveLastErrorAndDebuggerAlone) {
  DWORD required = 0;
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevReportStatus(nullptr, nullptr, 0, &required));
  EXPECT_EQ(GetLastError(), kUntouched);
  EXPECT_FALSE(Host().FaxDevAbortOperation(reinterpret_cast<HANDLE>(0x1000)));
  EXPECT_EQ(GetLastError(), kUntouched);
  EXPECT_EQ(DebugText(), "");
}

TEST_F(EntryPointTest, CallsAfterShutdownBehaveAsBeforeInitialize) {
  StartService();
  HANDLE job = StartJob();
  EndJob(job);
  ShutDown();
  ClearCapture();
  // The heap is still known, so the job is allocated; it must not outlive the failure.
  HANDLE late = nullptr;
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevStartJob(0, kServiceDeviceId, &late, Host().Port(), 1));
  EXPECT_EQ(GetLastError(), kUnexpected);
  EXPECT_EQ(LiveProviderBlocks(), 0u) << "regression: a job allocated after shutdown leaked";
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevEndJob(job));
  EXPECT_EQ(GetLastError(), kUnexpected);
  EXPECT_EQ(Host().FaxDevShutdown(), S_OK);
  EXPECT_EQ(DebugText(),
            "\r\nCorviskFSP - exception - FaxDevStartJob\r\n"
            "\r\nCorviskFSP - exception - FaxDevEndJob\r\n"
            "\r\nCorviskFSP - FaxDevShutdown() without FaxDevInitialize()\r\n");
}

TEST_F(EntryPointTest, UnknownHandlesAreRejectedWithoutBeingTouched) {
  StartService();
  HANDLE job = StartJob();
  // An address that is not a job (and not even readable) must never be dereferenced.
  HANDLE bogus = reinterpret_cast<HANDLE>(0x10);
  FAX_SEND send = SendFor();
  ClearCapture();
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevSend(bogus, &send, nullptr));
  EXPECT_EQ(GetLastError(), kUnexpected);
  EXPECT_EQ(DebugText(),
            "\r\nCorviskFSP - begin - FaxDevSend\r\n\r\nCorviskFSP - exit FAILED - 0x8000ffff FaxDevSend\r\n");
  ClearCapture();
  for (HANDLE handle : {bogus, static_cast<HANDLE>(nullptr)}) {
    SetLastError(kUntouched);
    EXPECT_FALSE(Host().FaxDevEndJob(handle));
    EXPECT_EQ(GetLastError(), kUnexpected);
    SetLastError(kUntouched);
    EXPECT_FALSE(Host().FaxDevAbortOperation(handle));
    EXPECT_EQ(GetLastError(), kUnexpected);
    DWORD required = 0;
    SetLastError(kUntouched);
    EXPECT_FALSE(Host().FaxDevReportStatus(handle, nullptr, 0, &required));
    EXPECT_EQ(GetLastError(), kUnexpected);
  }
  EXPECT_EQ(DebugText(), "") << "end, abort and status calls write nothing";
  EXPECT_TRUE(TakePackets().empty());
  EndJob(job);
}

TEST_F(EntryPointTest, EndingAJobTwiceFailsTheSecondTime) {
  StartService();
  HANDLE job = StartJob();
  EndJob(job);
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevEndJob(job));
  EXPECT_EQ(GetLastError(), kUnexpected);
  EXPECT_EQ(DebugText(), "");
}

TEST_F(EntryPointTest, ReceiveIsRefusedAndTraced) {
  StartService();
  HANDLE job = StartJob();
  FAX_RECEIVE receive{};
  receive.SizeOfStruct = sizeof receive;
  ClearCapture();
  SetLastError(kUntouched);
  EXPECT_FALSE(Host().FaxDevReceive(job, 0, &receive));
  EXPECT_EQ(GetLastError(), kUnexpected);
  EXPECT_EQ(DebugText(),
            "\r\nCorviskFSP - begin - FaxDevReceive\r\n\r\nOnError=0X8000ffff\r\n"
            "\r\nCorviskFSP - exit FAILED - 0x8000ffff FaxDevReceive\r\n");
  EndJob(job);
}

TEST_F(EntryPointTest, ShutdownTracesBeginAndExit) {
  StartService();
  SetLastError(kUntouched);
  EXPECT_EQ(Host().FaxDevShutdown(), S_OK);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(DebugText(), "\r\nCorviskFSP - begin - FaxDevShutdown\r\n\r\nCorviskFSP - exit - FaxDevShutdown\r\n");
}

struct ShutdownCall {
  PFAXDEVSHUTDOWN shutdown;
  HANDLE done;
};

// A thread procedure: WINAPI, which a lambda is not in 32-bit code.
DWORD WINAPI CallShutdown(void* raw) {
  auto* call = static_cast<ShutdownCall*>(raw);
  const HRESULT result = call->shutdown();
  SetEvent(call->done);
  return static_cast<DWORD>(result);
}

TEST_F(EntryPointTest, ShutdownWaitsUntilTheLastJobHasEnded) {
  StartService();
  HANDLE job = StartJob();
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ShutdownCall context{Host().FaxDevShutdown, done};
  HANDLE thread = CreateThread(nullptr, 0, CallShutdown, &context, 0, nullptr);
  // Long enough for the shutdown to check the job set at least twice.
  EXPECT_EQ(WaitForSingleObject(done, 2000), static_cast<DWORD>(WAIT_TIMEOUT)) << "shutdown returned with a live job";
  EndJob(job);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  DWORD result = 1;
  GetExitCodeThread(thread, &result);
  EXPECT_EQ(result, static_cast<DWORD>(S_OK));
  CloseHandle(thread);
  CloseHandle(done);
  EXPECT_EQ(LiveProviderBlocks(), 0u);
}

TEST_F(EntryPointTest, EventMessageShowsTheTextWithAFullStop) {
  char* text = nullptr;
  DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>("CorviskFSP is not configured")};
  ASSERT_TRUE(
      FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                     Host().Module(), 100, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<char*>(&text),
                     0, reinterpret_cast<va_list*>(inserts)));
  EXPECT_STREQ(text, "CorviskFSP is not configured.\r\n");
  LocalFree(text);
}

// FormatMessage turns a bare line feed into a line break too, so only the
// compiled bytes show whether message 100 ends with "\r\n".
TEST_F(EntryPointTest, CompiledEventMessageEndsWithCarriageReturnAndLineFeed) {
  HRSRC found = FindResourceA(Host().Module(), MAKEINTRESOURCEA(1), reinterpret_cast<LPCSTR>(RT_MESSAGETABLE));
  ASSERT_NE(found, nullptr);
  const auto* table = static_cast<const MESSAGE_RESOURCE_DATA*>(LockResource(LoadResource(Host().Module(), found)));
  ASSERT_EQ(table->NumberOfBlocks, 1u);
  ASSERT_EQ(table->Blocks[0].LowId, 100u);
  ASSERT_EQ(table->Blocks[0].HighId, 100u);
  const auto* entry = reinterpret_cast<const MESSAGE_RESOURCE_ENTRY*>(reinterpret_cast<const BYTE*>(table) +
                                                                      table->Blocks[0].OffsetToEntries);
  if (entry->Flags & MESSAGE_RESOURCE_UNICODE)
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(entry->Text), L"%1.\r\n");
  else
    EXPECT_STREQ(reinterpret_cast<const char*>(entry->Text), "%1.\r\n");
}

// Every binary's VERSIONINFO comes from the project version.
TEST_F(EntryPointTest, VersionResourceCarriesTheProductVersion) {
  const std::wstring path = ProviderPath();
  DWORD ignored = 0;
  std::vector<BYTE> data(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  ASSERT_FALSE(data.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00030000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00030000u);
  wchar_t* text = nullptr;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904b0\\ProductVersion",
                             reinterpret_cast<void**>(&text), &size));
  EXPECT_STREQ(text, L"3.0.1");
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904b0\\OriginalFilename",
                             reinterpret_cast<void**>(&text), &size));
  EXPECT_STREQ(text, L"CorviskFSP.dll");
}

TEST_F(EntryPointTest, StringTableHoldsTheProviderTexts) {
  char text[256];
  const std::pair<UINT, const char*> entries[] = {{1, " failed"},
                                                  {3, " is not configured"},
                                                  {5, "PreProcessCommand has not created a target file"},
                                                  {6, "Failed to start PreProcessCommand"}};
  for (const auto& [id, expected] : entries) {
    ASSERT_GT(LoadStringA(Host().Module(), id, text, sizeof text), 0) << id;
    EXPECT_STREQ(text, expected);
  }
  EXPECT_EQ(LoadStringA(Host().Module(), 2, text, sizeof text), 0);
}

}  // namespace
