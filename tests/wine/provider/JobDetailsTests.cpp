// GetJobID against the fax COM stand-in, in this process as the provider
// calls it: queue order, device and status matching, the sender fallback
// and every failure text.
#include <gtest/gtest.h>
#include <objbase.h>

#include <string>

#include "FaxComState.h"
#include "HostCapture.h"
#include "ImportPatch.h"
#include "jobdetails/JobDetails.h"
#include "win32/Handles.h"

using namespace corvisk;
using namespace corvisk::test;
using namespace corvisk::testbed;

namespace {

constexpr DWORD kLookupDeviceId = 0x77000000;
constexpr char kDeviceZeroTrace[] = "GetJobID() called with device id == 0\r\n";
constexpr char kEmailFailed[] = "Failed to obtain email address in GetJobID - unexpected exception";
constexpr wchar_t kProgIdKey[] = L"FaxComEx.FaxServer";
constexpr wchar_t kStandInClsid[] = L"{CDA8ACB0-8CF5-4F6C-9BA2-5931D40C8CAE}";

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Takes the extended fax server's ProgID away for the test's length, as on
// a system without the fax service's COM library.
class HiddenProgId {
 public:
  HiddenProgId() { RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgIdKey); }
  HiddenProgId(const HiddenProgId&) = delete;
  HiddenProgId& operator=(const HiddenProgId&) = delete;
  ~HiddenProgId() {
    unique_hkey key;
    const std::wstring clsidKey = std::wstring(kProgIdKey) + L"\\CLSID";
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, clsidKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr))
      return;
    RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kStandInClsid), sizeof kStandInClsid);
  }
};

// The platform this program reports to GetJobID. HostCapture simulates a
// platform for a provider DLL; GetJobID lives in this program, whose own
// import of the version query is redirected here.
SimulatedPlatform g_platform{6, 1, false};

BOOL WINAPI SimulatedGetVersionExW(OSVERSIONINFOW* info) {
  static const auto real = reinterpret_cast<BOOL(WINAPI*)(OSVERSIONINFOW*)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetVersionExW")));
  if (!real(info)) return FALSE;
  info->dwMajorVersion = g_platform.major;
  info->dwMinorVersion = g_platform.minor;
  if (info->dwOSVersionInfoSize >= sizeof(OSVERSIONINFOEXW))
    reinterpret_cast<OSVERSIONINFOEXW*>(info)->wProductType = g_platform.server ? VER_NT_SERVER : VER_NT_WORKSTATION;
  return TRUE;
}

class GetJobIdTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CaptureDebugOutput();
    PatchImport(GetModuleHandleW(nullptr), "kernel32.dll", "GetVersionExW",
                reinterpret_cast<void*>(SimulatedGetVersionExW));
  }
  void SetUp() override {
    ClearCapture();
    details_ = JobDetails{"stale id", "stale@example.com", "stale text"};
  }
  void TearDown() override {
    g_platform = {6, 1, false};
    ExpectEveryObjectReleased();
  }

  HRESULT Lookup(DWORD deviceId = kLookupDeviceId) { return GetJobID(deviceId, details_); }

  void ExpectDetails(const char* jobId, const char* email, const char* diagnostic) {
    EXPECT_EQ(details_.jobId, jobId);
    EXPECT_EQ(details_.email, email);
    EXPECT_EQ(details_.diagnostic, diagnostic);
  }

  // The stand-in can be unloaded exactly when none of its objects lives on.
  static void ExpectEveryObjectReleased() {
    const HMODULE standIn = GetModuleHandleW(L"faxcomstandin.dll");
    if (!standIn) return;
    const auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(standIn, "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK) << "a fax COM object was not released";
  }

  FaxServerState state_;
  JobDetails details_;
};

TEST_F(GetJobIdTest, FindsTheJobTheDeviceIsSending) {
  SeedDefaultSender(L"default@example.com");
  SeedJobs({{L"20001", 0x0005, kInProgress, L"other-device@example.com"},
            {L"20002", kProviderDevice, kPending, L"pending@example.com"},
            {L"20003", kProviderDevice, kInProgress | 0x40, L"sender@example.com"}});
  EXPECT_EQ(Lookup(), S_OK);
  ExpectDetails("20003", "sender@example.com", "");
  EXPECT_EQ(ConnectCount(), 1u);
  EXPECT_EQ(ConnectedServerName(), L"") << "the local fax server";
  EXPECT_EQ(DebugText().find(kDeviceZeroTrace), std::string::npos);
}

TEST_F(GetJobIdTest, NoJobInProgressOnTheDeviceEmptiesEveryText) {
  SeedJobs({{L"1", 0x0005, kInProgress, L"a@example.com"},
            {L"2", kProviderDevice, kPending, L"b@example.com"},
            {L"3", kProviderDevice, 0x100, L"c@example.com"},
            {L"4", 0x77000000, kInProgress, L"d@example.com"}});
  EXPECT_EQ(Lookup(), S_OK);
  ExpectDetails("", "", "");
}

TEST_F(GetJobIdTest, EmptyQueueIsNoFailure) {
  EXPECT_EQ(Lookup(), S_OK);
  ExpectDetails("", "", "");
}

TEST_F(GetJobIdTest, OfTwoJobsInProgressTheFirstInQueueOrderWins) {
  SeedJobs({{L"31", kProviderDevice, kPending, L"waiting@example.com"},
            {L"32", kProviderDevice, kInProgress, L"first@example.com"},
            {L"33", kProviderDevice, kInProgress, L"second@example.com"}});
  EXPECT_EQ(Lookup(), S_OK);
  ExpectDetails("32", "first@example.com", "");
}

TEST_F(GetJobIdTest, DeviceIdZeroIsTracedAndSearchedAsZero) {
  SeedJobs(
      {{L"41", kProviderDevice, kInProgress, L"provider@example.com"}, {L"42", 0, kInProgress, L"zero@example.com"}});
  EXPECT_EQ(Lookup(0x0000FFFF), S_OK) << "only the upper 16 bits count";
  ExpectDetails("42", "zero@example.com", "");
  EXPECT_EQ(CountOf(DebugText(), kDeviceZeroTrace), 1u) << DebugText();
}

TEST_F(GetJobIdTest, SenderWithoutAddressFallsBackToTheDefaultSender) {
  SeedDefaultSender(L"default@example.com");
  SeedJobs({{L"51", kProviderDevice, kInProgress, L""}});
  EXPECT_EQ(Lookup(), S_OK);
  ExpectDetails("51", "default@example.com", "");
}

TEST_F(GetJobIdTest, MissingFaxComLibraryGivesTheCreationResult) {
  SeedJobs({{L"61", kProviderDevice, kInProgress, L"a@example.com"}});
  const HiddenProgId hidden;
  EXPECT_EQ(Lookup(), CO_E_CLASSSTRING);
  ExpectDetails("", "", "Failed in GetJobID\r\n");
  EXPECT_EQ(ConnectCount(), 0u);
}

TEST_F(GetJobIdTest, FailingMemberGivesItsResultAndDescription) {
  const wchar_t* const members[] = {L"Connect", L"Folders",  L"OutgoingQueue", L"GetJobs", L"Count",
                                    L"Item",    L"DeviceId", L"Status",        L"Id"};
  for (const wchar_t* member : members) {
    FaxServerState state;
    SeedJobs({{L"71", kProviderDevice, kInProgress, L"a@example.com"}});
    InjectFailure(member, E_ACCESSDENIED, L"No rights to the fax queue");
    EXPECT_EQ(Lookup(), E_ACCESSDENIED) << member;
    ExpectDetails("", "", "Failed in GetJobID : No rights to the fax queue\r\n");
    ExpectEveryObjectReleased();
  }
}

TEST_F(GetJobIdTest, FailureWithoutDescriptionGivesThePlainText) {
  SeedJobs({{L"72", kProviderDevice, kInProgress, L"a@example.com"}});
  InjectFailure(L"GetJobs", HRESULT_FROM_WIN32(ERROR_NOT_READY));
  EXPECT_EQ(Lookup(), HRESULT_FROM_WIN32(ERROR_NOT_READY));
  ExpectDetails("", "", "Failed in GetJobID\r\n");
}

TEST_F(GetJobIdTest, MissingObjectIsAPointerError) {
  for (const wchar_t* member : {L"Folders", L"OutgoingQueue", L"GetJobs", L"Item"}) {
    FaxServerState state;
    SeedJobs({{L"81", kProviderDevice, kInProgress, L"a@example.com"}});
    InjectFailure(member, S_OK);
    EXPECT_EQ(Lookup(), E_POINTER) << member;
    ExpectDetails("", "", "Failed in GetJobID\r\n");
  }
}

// Reading the sender is the one step whose failure keeps the lookup alive;
// only a server of version 5.2 or later says why the address is missing.
TEST_F(GetJobIdTest, SenderFailureKeepsTheJobIdAndExplainsItselfOnServersOnly) {
  struct Platform {
    SimulatedPlatform platform;
    const char* diagnostic;
  } const platforms[] = {{{5, 1, false}, ""},
                         {{5, 1, true}, ""},
                         {{5, 2, true}, kEmailFailed},
                         {{6, 1, true}, kEmailFailed},
                         {{6, 1, false}, ""}};
  for (const wchar_t* member : {L"Sender", L"Email", L"LoadDefaultSender"}) {
    for (const Platform& each : platforms) {
      FaxServerState state;
      SeedJobs({{L"91", kProviderDevice, kInProgress, L""}});
      SeedDefaultSender(L"default@example.com");
      InjectFailure(member, E_FAIL, L"sender unavailable");
      g_platform = each.platform;
      EXPECT_EQ(Lookup(), S_OK) << member;
      ExpectDetails("91", "", each.diagnostic);
    }
  }
}

TEST_F(GetJobIdTest, SenderThatIsMissingCountsAsASenderFailure) {
  SeedJobs({{L"92", kProviderDevice, kInProgress, L"a@example.com"}});
  InjectFailure(L"Sender", S_OK);
  g_platform = {5, 2, true};
  EXPECT_EQ(Lookup(), S_OK);
  ExpectDetails("92", "", kEmailFailed);
}

}  // namespace
