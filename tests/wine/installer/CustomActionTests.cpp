// The installer's actions. The commit action as both DLLs export it, the
// custom-action DLL and the provider: the control panel command line it
// starts, and its result when nothing can be started. A control.exe of the
// test's own, in the current folder, is found before the system's. Then the
// actions on the settings key.
#include <windows.h>
#include <sddl.h>

#include <string>

#include "ChildProcess.h"
#include "ProviderFixture.h"
#include "SettingsKey.h"
#include "common/TextFormat.h"
#include "win32/Handles.h"

using namespace corvisk;
using namespace corvisk::test;
using namespace corvisk::testbed;

namespace {

using CustomActionFn = UINT(WINAPI*)(unsigned long install);

constexpr DWORD kRecordWaitMs = 10000;

// The parameter names the DLL; the provider is loaded as the fax service
// loads it.
class CustomActionTest : public ProviderTest, public ::testing::WithParamInterface<const wchar_t*> {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    if (HasFatalFailure()) return;
    HMODULE module = Host().Module();
    if (std::wstring(GetParam()) != L"CorviskFSP.dll") {
      actionDll_.reset(LoadLibraryW((ProgramFolder() + GetParam()).c_str()));
      ASSERT_TRUE(actionDll_) << "cannot load the custom-action DLL, error " << GetLastError();
      module = actionDll_.get();
    }
    commit_ = reinterpret_cast<CustomActionFn>(reinterpret_cast<void*>(GetProcAddress(module, "CustomActionCommit")));
    ASSERT_NE(commit_, nullptr);
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    folder_ = temp + FormatWide(L"corvisk-action-%lu\\", GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    wchar_t current[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, current);
    previousFolder_ = current;
    ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
  }

  void TearDown() override {
    SetCurrentDirectoryW(previousFolder_.c_str());
    SetEnvironmentVariableW(L"CORVISK_RECORD_FILE", nullptr);
    for (const wchar_t* name : {L"control.exe", L"command.txt"}) DeleteFileW((folder_ + name).c_str());
    RemoveDirectoryW(folder_.c_str());
    ProviderTest::TearDown();
  }

  static std::wstring FormatWide(const wchar_t* format, unsigned long value) {
    wchar_t text[64];
    wsprintfW(text, format, value);
    return text;
  }

  // The command line the stand-in control.exe recorded, once it has run.
  std::string WaitForRecordedCommandLine() { return RecordedCommandLine(folder_ + L"command.txt", kRecordWaitMs); }

  unique_hmodule actionDll_;
  CustomActionFn commit_ = nullptr;
  std::wstring folder_;
  std::wstring previousFolder_;
};

TEST_P(CustomActionTest, StartsTheControlPanelWithItsOwnProcessId) {
  ASSERT_TRUE(
      CopyFileW((ProgramFolder() + L"record_command_line.exe").c_str(), (folder_ + L"control.exe").c_str(), FALSE));
  SetEnvironmentVariableW(L"CORVISK_RECORD_FILE", (folder_ + L"command.txt").c_str());
  SetLastError(kUntouched);
  EXPECT_EQ(commit_(0), 0u);
  EXPECT_EQ(WaitForRecordedCommandLine(),
            FormatText("control.exe CorviskFSPCPL.cpl %lu _CA_", static_cast<unsigned long>(GetCurrentProcessId())));
  EXPECT_EQ(DebugText(), "");
}

// A control.exe that is no program: the start fails, the action does not.
TEST_P(CustomActionTest, SucceedsWhenTheControlPanelCannotBeStarted) {
  HANDLE file = CreateFileW((folder_ + L"control.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, "not a program", 13, &written, nullptr);
  CloseHandle(file);
  SetLastError(kUntouched);
  EXPECT_EQ(commit_(0), 0u);
  EXPECT_EQ(DebugText(), "CustomActionCommit failed.\r\n");
}

INSTANTIATE_TEST_SUITE_P(BothDlls, CustomActionTest, ::testing::Values(L"CorviskFSP_CA.dll", L"CorviskFSP.dll"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                           return info.index == 0 ? std::string("ActionDll") : std::string("Provider");
                         });

}  // namespace

namespace {

using SettingsActionFn = UINT(WINAPI*)(unsigned long install);

// The actions the package runs on the settings key, called as the
// installer calls them.
class SettingsKeyActionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsKey();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kOtherProductKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kOtherProductKey);
    dll_.reset(LoadLibraryW((ProgramFolder() + L"CorviskFSP_CA.dll").c_str()));
    ASSERT_TRUE(dll_);
  }
  void TearDown() override {
    DeleteSettingsKey();
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kOtherProductKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mervale");
  }

  UINT Run(const char* action) {
    const auto run = reinterpret_cast<SettingsActionFn>(reinterpret_cast<void*>(GetProcAddress(dll_.get(), action)));
    return run ? run(0) : ~0u;
  }
  static bool KeyExists(const char* path) {
    unique_hkey key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
  }
  static std::string KeyAccess(const char* path) {
    unique_hkey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, READ_CONTROL, key.put()) != ERROR_SUCCESS) return "(missing)";
    char buffer[1024];
    DWORD size = sizeof buffer;
    if (RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, buffer, &size) != ERROR_SUCCESS) return "(unreadable)";
    char* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(buffer, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                              nullptr))
      return "(not converted)";
    const std::string sddl = text;
    LocalFree(text);
    return sddl;
  }

  static constexpr char kOtherProductKey[] = "SOFTWARE\\Mervale\\OtherProduct";
  unique_hmodule dll_;
};

TEST_F(SettingsKeyActionTest, SecuringMakesTheKeyWithItsOwnAccessList) {
  EXPECT_EQ(Run("SecureSettingsKey"), 0u);
  EXPECT_EQ(KeyAccess(kSettingsKey), "D:P(A;CI;KA;;;BA)(A;CI;KA;;;SY)(A;CI;KR;;;NS)");
}

// The vendor key goes with the last of its products.
TEST_F(SettingsKeyActionTest, RemovalTakesTheKeyAndAnEmptyVendorKey) {
  WriteMinimalSettings();
  EXPECT_EQ(Run("RemoveSettingsKey"), 0u);
  EXPECT_FALSE(KeyExists(kSettingsKey));
  EXPECT_FALSE(KeyExists("SOFTWARE\\Mervale"));

  WriteMinimalSettings();
  unique_hkey other;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kOtherProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, other.put(), nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(Run("RemoveSettingsKey"), 0u);
  EXPECT_FALSE(KeyExists(kSettingsKey));
  EXPECT_TRUE(KeyExists(kOtherProductKey));
  EXPECT_EQ(Run("RemoveSettingsKey"), 0u) << "removing what is gone succeeds";
}

}  // namespace
