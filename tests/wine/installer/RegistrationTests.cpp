// Self-registration called in-process, as an installer does: the keys it
// writes, the "Fax" service it stops, its debugger texts, and its branches on
// the platform version, the fax client library and the service's state.
#include "ProviderFixture.h"
#include "RegistrationSupport.h"
#include "common/TextFormat.h"
#include "win32/AnsiText.h"
#include "win32/SystemMessage.h"

using namespace corvisk;
using namespace corvisk::test;
using namespace corvisk::testbed;

namespace {

using RegistrationFn = HRESULT(WINAPI*)();

const char kRegisterSuccess[] = "CorviskFSP - Success in FaxRegisterServiceProvider()\r\n";
const char kUnregisterBegin[] = "DllUnregisterServer()\r\n";
const char kNoWinFax[] = "DllUnregisterServer(): failed to load winfax.dll\r\n";
const char kNoFaxService[] = "StopFaxService() - Failed to open Fax service\r\n";
// Below 5.2 unregistration deletes the fax provider key in the provider's own
// registry view; under WOW64 the fax service keeps it in the 64-bit view. No
// such Windows ran 32-bit code under WOW64, so the x86 tree skips those cases.
const char kNoWow64Below52[] = "no Windows before 5.2 runs a 32-bit provider under WOW64";

class RegistrationTest : public ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    if (HasFatalFailure()) return;
    RemoveRegistration();
    fax_service::Restore();
    ASSERT_EQ(fax_service::State(), static_cast<DWORD>(SERVICE_STOPPED)) << "the Fax stand-in is not installed";
    register_ = Export("DllRegisterServer");
    unregister_ = Export("DllUnregisterServer");
    ASSERT_TRUE(register_ && unregister_);
  }

  void TearDown() override {
    StopSimulatingPlatform();
    RemoveRegistration();
    fax_service::Restore();
    ProviderTest::TearDown();
  }

  HRESULT Register() { return Call(register_); }
  HRESULT Unregister() { return Call(unregister_); }

  std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(Host().Module(), path, MAX_PATH);
    return path;
  }
  // What every registration writes before it calls the fax service.
  std::string RegisterBegin() { return "CorviskFSP - DllRegisterServer()\r\n" + ToAnsi(ModulePath()) + "\r\n"; }

  void ExpectEventSource() {
    const std::optional<TextValue> file = ReadText(kEventSourceKey, L"EventMessageFile");
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(file->text, ModulePath());
    EXPECT_EQ(ReadDword(kEventSourceKey, L"TypesSupported"), std::optional<DWORD>(7));
  }

 private:
  RegistrationFn Export(const char* name) {
    return reinterpret_cast<RegistrationFn>(reinterpret_cast<void*>(GetProcAddress(Host().Module(), name)));
  }
  static HRESULT Call(RegistrationFn function) {
    ClearCapture();
    SetLastError(kUntouched);
    return function();
  }

  RegistrationFn register_ = nullptr;
  RegistrationFn unregister_ = nullptr;
};

std::string DescribedError(DWORD code, const char* what) {
  return FormatText("err=0X%x\r\nCorviskFSP - Failed in %s\r\n", static_cast<unsigned>(code), what);
}

TEST_F(RegistrationTest, RegisterWritesEveryKeyAndTracesExactly) {
  EXPECT_EQ(Register(), S_OK);
  EXPECT_EQ(DebugText(), RegisterBegin() + kRegisterSuccess);
  EXPECT_EQ(ReadText(kFaxProviderKey, L"FriendlyName")->text, L"Corvisk FSP");
  EXPECT_EQ(ReadText(kFaxProviderKey, L"ImageName")->text, ModulePath());
  EXPECT_EQ(ReadText(kFaxProviderKey, L"ProviderName")->text, L"");
  ExpectEventSource();
  EXPECT_EQ(ReadDword(kControlPanelKey, kAppletValue), std::optional<DWORD>(2));
}

TEST_F(RegistrationTest, RegisteringTwiceSucceedsAndStopsTheRunningServiceEachTime) {
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_TRUE(fax_service::Start());
    EXPECT_EQ(Register(), S_OK);
    // The second time the fax service reports the provider as already registered.
    EXPECT_EQ(DebugText(), RegisterBegin() + kRegisterSuccess);
    EXPECT_TRUE(fax_service::WaitForState(SERVICE_STOPPED));
  }
  EXPECT_EQ(ReadText(kFaxProviderKey, L"ImageName")->text, ModulePath());
}

TEST_F(RegistrationTest, UnregisterRemovesEverythingAndStopsTheService) {
  ASSERT_EQ(Register(), S_OK);
  ASSERT_TRUE(fax_service::Start());
  EXPECT_EQ(Unregister(), S_OK);
  EXPECT_EQ(DebugText(), kUnregisterBegin);
  EXPECT_FALSE(KeyExists(kFaxProviderKey));
  EXPECT_FALSE(KeyExists(kEventSourceKey));
  EXPECT_FALSE(ReadDword(kControlPanelKey, kAppletValue).has_value());
  EXPECT_TRUE(fax_service::WaitForState(SERVICE_STOPPED));
}

TEST_F(RegistrationTest, UnregisteringNothingTracesEachFailureAndSucceeds) {
  EXPECT_EQ(Unregister(), S_OK);
  EXPECT_EQ(DebugText(), std::string(kUnregisterBegin) +
                             "DllUnregisterServer(): failed to unregister events source dll\r\n"
                             "Failed to delete reg value for CorviskFSPCPL.cpl\r\n" +
                             DescribedError(ERROR_FILE_NOT_FOUND, "FaxUnregisterServiceProvider()") +
                             "Failed in FaxUnregisterServiceProvider(CorviskFSP) - " +
                             SystemMessageText(ERROR_FILE_NOT_FOUND) + "\r\n");
}

TEST_F(RegistrationTest, UnregisteringNothingBelow52TracesTheKeyDeletion) {
  SimulatePlatform({5, 1, false});
  EXPECT_EQ(Unregister(), S_OK);
  EXPECT_EQ(DebugText(), std::string(kUnregisterBegin) +
                             "DllUnregisterServer(): failed to unregister events source dll\r\n"
                             "Failed to delete reg value for CorviskFSPCPL.cpl\r\n" +
                             DescribedError(ERROR_FILE_NOT_FOUND, "SHDeleteKey()") +
                             "Failed in unregistering CorviskFSP - " + SystemMessageText(ERROR_FILE_NOT_FOUND) +
                             "\r\n");
}

struct PlatformCase {
  const char* name;
  SimulatedPlatform platform;
  bool appletCategory;  // registration files the applet under its category
  bool directDelete;    // unregistration deletes the fax provider key itself
};

void PrintTo(const PlatformCase& c, std::ostream* out) { *out << c.name; }

class PlatformRegistrationTest : public RegistrationTest, public ::testing::WithParamInterface<PlatformCase> {};

// Unregistration runs with winfax.dll gone and the Fax service running: the
// direct branch still removes the key and stops the service first; the
// client-library branch can do neither and says so.
TEST_P(PlatformRegistrationTest, BranchesOnThePlatformVersion) {
  const PlatformCase& c = GetParam();
  if (c.directDelete && RunsUnderWow64()) GTEST_SKIP() << kNoWow64Below52;
  SimulatePlatform(c.platform);
  EXPECT_EQ(Register(), S_OK);
  EXPECT_EQ(DebugText(), RegisterBegin() + kRegisterSuccess);
  EXPECT_EQ(ReadDword(kControlPanelKey, kAppletValue).has_value(), c.appletCategory);
  ExpectEventSource();

  ASSERT_TRUE(fax_service::Start());
  WinFaxSwap noWinFax;
  ASSERT_TRUE(noWinFax.Done());
  EXPECT_EQ(Unregister(), S_OK);
  EXPECT_FALSE(KeyExists(kEventSourceKey));
  EXPECT_FALSE(ReadDword(kControlPanelKey, kAppletValue).has_value());
  if (c.directDelete) {
    EXPECT_EQ(DebugText(), kUnregisterBegin);
    EXPECT_FALSE(KeyExists(kFaxProviderKey));
    EXPECT_TRUE(fax_service::WaitForState(SERVICE_STOPPED));
  } else {
    EXPECT_EQ(DebugText(), std::string(kUnregisterBegin) + kNoWinFax);
    EXPECT_TRUE(KeyExists(kFaxProviderKey));
    EXPECT_EQ(fax_service::State(), static_cast<DWORD>(SERVICE_RUNNING));
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, PlatformRegistrationTest,
                         ::testing::Values(PlatformCase{"Windows2000", {5, 0, false}, false, true},
                                           PlatformCase{"WindowsXP", {5, 1, false}, true, true},
                                           PlatformCase{"Server2003", {5, 2, true}, true, false},
                                           PlatformCase{"Vista", {6, 0, false}, true, false},
                                           PlatformCase{"Windows10", {10, 0, false}, true, false}),
                         [](const ::testing::TestParamInfo<PlatformCase>& info) { return info.param.name; });

TEST_F(RegistrationTest, UnregisteringOn50LeavesTheAppletCategory) {
  if (RunsUnderWow64()) GTEST_SKIP() << kNoWow64Below52;
  SimulatePlatform({5, 1, false});
  ASSERT_EQ(Register(), S_OK);
  SimulatePlatform({5, 0, false});
  EXPECT_EQ(Unregister(), S_OK);
  EXPECT_EQ(DebugText(), kUnregisterBegin);
  EXPECT_EQ(ReadDword(kControlPanelKey, kAppletValue), std::optional<DWORD>(2));
}

TEST_F(RegistrationTest, WithoutWinFaxRegistrationSucceedsWithTheFailureText) {
  WinFaxSwap noWinFax;
  ASSERT_TRUE(noWinFax.Done());
  ASSERT_TRUE(fax_service::Start());
  EXPECT_EQ(Register(), S_OK);
  EXPECT_EQ(DebugText(), RegisterBegin() + DescribedError(ERROR_MOD_NOT_FOUND, "FaxRegisterServiceProvider()") +
                             SystemMessageText(ERROR_MOD_NOT_FOUND) + " - failed in FaxRegisterServiceProvider()\r\n");
  EXPECT_FALSE(KeyExists(kFaxProviderKey));
  ExpectEventSource();
  EXPECT_EQ(ReadDword(kControlPanelKey, kAppletValue), std::optional<DWORD>(2));
  EXPECT_EQ(fax_service::State(), static_cast<DWORD>(SERVICE_RUNNING)) << "only a registration stops the service";
}

// A winfax.dll that lacks the functions: any DLL will do, this one is ours.
TEST_F(RegistrationTest, WinFaxWithoutTheFunctionsFailsCleanly) {
  WinFaxSwap otherWinFax(ProviderPath());
  ASSERT_TRUE(otherWinFax.Done());
  EXPECT_EQ(Register(), S_OK);
  EXPECT_EQ(DebugText(), RegisterBegin() + DescribedError(ERROR_PROC_NOT_FOUND, "FaxRegisterServiceProvider()") +
                             SystemMessageText(ERROR_PROC_NOT_FOUND) + " - failed in FaxRegisterServiceProvider()\r\n");
  EXPECT_EQ(Unregister(), S_OK);
  EXPECT_EQ(DebugText(), std::string(kUnregisterBegin) +
                             "DllUnregisterServer(): failed to GetProcAddr(FaxUnregisterServiceProviderW)\r\n");
}

TEST_F(RegistrationTest, StoppedServiceNeedsNoStopEvenWhenDisabled) {
  ASSERT_TRUE(fax_service::SetStartType(SERVICE_DISABLED));
  EXPECT_EQ(Register(), S_OK);
  EXPECT_EQ(DebugText(), RegisterBegin() + kRegisterSuccess);
  EXPECT_EQ(Unregister(), S_OK);
  EXPECT_EQ(DebugText(), kUnregisterBegin);
}

TEST_F(RegistrationTest, MissingServiceIsTracedAndRegistrationGoesOn) {
  ASSERT_TRUE(fax_service::Delete());
  ASSERT_EQ(fax_service::State(), fax_service::kMissing);
  EXPECT_EQ(Register(), S_OK);
  EXPECT_EQ(DebugText(), RegisterBegin() + kRegisterSuccess + kNoFaxService);
  ExpectEventSource();
  EXPECT_EQ(Unregister(), S_OK);
  EXPECT_EQ(DebugText(), std::string(kUnregisterBegin) + kNoFaxService);
  EXPECT_FALSE(KeyExists(kFaxProviderKey));
}

TEST_F(RegistrationTest, ServiceRefusingToStopIsTraced) {
  ASSERT_TRUE(fax_service::Start(L"refuse-stop"));
  EXPECT_EQ(Register(), S_OK);
  EXPECT_EQ(DebugText(),
            RegisterBegin() + kRegisterSuccess + "StopFaxService() - Failed to stop Fax service:  err=0X41c\r\n");
  EXPECT_EQ(fax_service::State(), static_cast<DWORD>(SERVICE_RUNNING));
}

// A copy of the provider whose full path is longer than MAX_PATH characters.
class LongPathCopy {
 public:
  LongPathCopy() {
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    folder_ = L"\\\\?\\" + std::wstring(temp) + L"corvisk-" + std::wstring(120, L'a');
    nested_ = folder_ + L"\\" + std::wstring(120, L'b');
    path_ = nested_ + L"\\CorviskFSP.dll";
    CreateDirectoryW(folder_.c_str(), nullptr);
    CreateDirectoryW(nested_.c_str(), nullptr);
    copied_ = CopyFileW(ProviderPath().c_str(), path_.c_str(), FALSE);
  }
  ~LongPathCopy() {
    DeleteFileW(path_.c_str());
    RemoveDirectoryW(nested_.c_str());
    RemoveDirectoryW(folder_.c_str());
  }
  bool Copied() const { return copied_; }
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring folder_, nested_, path_;
  bool copied_ = false;
};

// Regression: a module path cut at MAX_PATH characters was registered as the
// provider's image and event message file.
TEST(RegistrationPathTest, ModulePathLongerThanMaxPathIsRefused) {
  CaptureDebugOutput();
  RemoveRegistration();
  LongPathCopy copy;
  ASSERT_TRUE(copy.Copied());
  {
    ProviderHost host(copy.Path());
    ASSERT_TRUE(host.Loaded()) << GetLastError();
    const auto registerServer =
        reinterpret_cast<RegistrationFn>(reinterpret_cast<void*>(GetProcAddress(host.Module(), "DllRegisterServer")));
    ClearCapture();
    EXPECT_EQ(registerServer(), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(DebugText(), "CorviskFSP - DllRegisterServer()\r\n");
  }
  EXPECT_FALSE(KeyExists(kFaxProviderKey));
  EXPECT_FALSE(KeyExists(kEventSourceKey));
  RemoveRegistration();
}

}  // namespace
