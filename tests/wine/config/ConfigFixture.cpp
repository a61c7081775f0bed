#include "ConfigFixture.h"

#include <objbase.h>

#include <vector>

#include "ChildProcess.h"
#include "RegistrationSupport.h"
#include "SettingsKey.h"
#include "win32/Handles.h"

namespace corvisk::test {

void ConfigProgramTest::SetUp() {
  DeleteSettingsKey();
  WriteSetting("NotifyMeEMailAddress", "fax.admin@example.com");
  WriteSetting("CorviskPwd", "gateway-secret");
  WriteSetting("SMTPServer", "mail.example.com");
  fax_service::Restore();
  RegisterProviderKey();
  RestoreHelperServer(L"QuendrySuppEmail", L"QuendrySuppEmail.SuppEmail");
  RestoreHelperServer(L"QuendrySuppDetails", L"QuendrySuppDetails.SuppDetails");
}

void ConfigProgramTest::TearDown() {
  DeleteSettingsKey();
  fax_service::Restore();
  RemoveRegistration();
  RestoreHelperServer(L"QuendrySuppEmail", L"QuendrySuppEmail.SuppEmail");
  RestoreHelperServer(L"QuendrySuppDetails", L"QuendrySuppDetails.SuppDetails");
}

std::optional<std::string> ConfigProgramTest::Setting(const char* name) {
  char value[512] = "";
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::string(value);
}

void ConfigProgramTest::RegisterProviderKey() {
  unique_hkey key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kFaxProviderKey.path, 0, nullptr, 0, KEY_WRITE | kFaxProviderKey.view,
                            nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
}

void ConfigProgramTest::RegisterHelperServer(const wchar_t* name, bool registered) {
  const std::wstring line =
      L"\"" + ProgramFolder() + name + L".exe\" " + (registered ? L"-RegServer" : L"-UnregServer");
  ASSERT_EQ(RunWithoutOutput(line), 0u) << "helper server registration";
}

namespace {

// The default value of a key under HKEY_CLASSES_ROOT; empty when missing.
std::wstring ClassesText(const std::wstring& key) {
  wchar_t value[MAX_PATH + 2] = L"";
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return {};
  return value;
}

bool ClassesKeyExists(const std::wstring& key) {
  unique_hkey handle;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
}

// What -RegServer writes: the class by its ProgID, served by the build's
// program, with its AppID and type library.
bool RegisteredFromBuild(const wchar_t* name, const wchar_t* progId) {
  const std::wstring clsid = ClassesText(std::wstring(progId) + L"\\CLSID");
  if (clsid.empty()) return false;
  const std::wstring classKey = L"CLSID\\" + clsid;
  const std::wstring libid = ClassesText(classKey + L"\\TypeLib");
  return ClassesText(classKey + L"\\LocalServer32") == L"\"" + ProgramFolder() + name + L".exe\"" &&
         ClassesText(classKey + L"\\ProgID") == progId && ClassesKeyExists(L"AppID\\" + clsid) && !libid.empty() &&
         ClassesKeyExists(L"TypeLib\\" + libid);
}

}  // namespace

void ConfigProgramTest::RestoreHelperServer(const wchar_t* name, const wchar_t* progId) {
  // Most tests leave the servers as they found them: reading the registry
  // spares two Wine processes per test.
  if (!RegisteredFromBuild(name, progId)) RegisterHelperServer(name, true);
}

bool ConfigProgramTest::ProgIdResolves(const wchar_t* progId) {
  CLSID clsid;
  return SUCCEEDED(CLSIDFromProgID(progId, &clsid));
}

bool ConfigProgramTest::RunsUnderWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::string ConfigProgramTest::ProgramSystemFolder() {
  char folder[MAX_PATH] = "";
  if (RunsUnderWow64())
    GetSystemWow64DirectoryA(folder, MAX_PATH);
  else
    GetSystemDirectoryA(folder, MAX_PATH);
  return folder;
}

std::wstring ConfigProgramTest::InstalledServer(const wchar_t* name) {
  const std::string folder = ProgramSystemFolder();
  return std::wstring(folder.begin(), folder.end()) + L"\\" + name + L".exe";
}

void ConfigProgramTest::FinishApply(ConfigProgram& program) {
  const auto box = program.WaitForApplyEnd();
  EXPECT_FALSE(box) << "unexpected message: [" << box->caption << "] " << box->text;
  if (box) program.Answer(*box, IDOK);
}

void ConfigProgramTest::ExpectShellFileNotFound(ConfigProgram& program) {
  const auto box = program.WaitForSystemMessageBox();
  ASSERT_TRUE(box) << "the shell did not tell";
  EXPECT_NE(box->caption, kMessageCaption);
  EXPECT_EQ(box->caption.find(".exe"), std::string::npos) << "the program's own box came first: " << box->text;
  program.Answer(*box, IDOK);
}

void ConfigProgramTest::ExpectMessage(ConfigProgram& program, const std::string& text, UINT icon, int button) {
  const auto box = program.WaitForMessageBox();
  ASSERT_TRUE(box) << "no message box; expected: " << text;
  EXPECT_EQ(box->caption, kMessageCaption);
  EXPECT_EQ(box->text, text);
  EXPECT_EQ(box->style & MB_ICONMASK, icon) << box->text;
  program.Answer(*box, button);
}

}  // namespace corvisk::test
