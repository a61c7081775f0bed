// The environment checks at the start of every apply run: the fax service,
// the helper servers and the provider's registration, on simulated platforms.
#include <string>

#include "ChildProcess.h"
#include "HiddenFile.h"
#include "ConfigFixture.h"
#include "RegistrationSupport.h"
#include "SettingsKey.h"

namespace corvisk::test {
namespace {

using ConfigEnvironmentTest = ConfigProgramTest;

constexpr char kDisabled[] = "Windows FAX Service is disabled. It is required to enable Fax Service before proceeding";
constexpr char kServiceAccountNotice[] =
    "To utilise QuendrySuppDetails service to be sensitive to individual NotifyMe email addresses that might be "
    "different to the default NotifyMe email address, configure the service to run as a principal that has rights "
    "to access Fax Service, e.g. Administrator";

TEST_F(ConfigEnvironmentTest, DisabledFaxServiceEndsTheApplyBeforeAnythingIsWritten) {
  ASSERT_TRUE(fax_service::SetStartType(SERVICE_DISABLED));
  ConfigProgram program;
  program.SetText(IDC_NOTIFY_ADDRESS, "changed@example.com");
  program.PressOk();
  ExpectMessage(program, kDisabled, MB_ICONQUESTION);
  EXPECT_TRUE(IsWindow(program.Sheet()));
  EXPECT_EQ(Setting("NotifyMeEMailAddress"), "fax.admin@example.com");
}

TEST_F(ConfigEnvironmentTest, MissingFaxServiceOn50OffersTheModemApplet) {
  ASSERT_TRUE(fax_service::Delete());
  ConfigProgram program({"5.0"});
  program.PressOk();
  ExpectMessage(program,
                "CorviskFSP requires Windows Fax Service.\r\nWindows Fax Service will be installed automatically if "
                "there is a fax-modem available.\r\nSelect OK to start Modem applet to add a modem (modem does not "
                "need to be connected, CorviskFSP is not going to use the modem. Note, you might need to run Device "
                "Manager first to make sure there is a COM port configured),\r\nor Cancel to continue (not "
                "recommended).",
                MB_ICONQUESTION, IDCANCEL);
  EXPECT_TRUE(program.NoMessageBox(1000));
  EXPECT_TRUE(IsWindow(program.Sheet()));
  program.PressCancel();
  program.WaitForExit();
  EXPECT_NE(program.DebugOutput().find("CorviskFSPCPL.cpl - Failed to open Fax service\n"), std::string::npos);
}

TEST_F(ConfigEnvironmentTest, MissingFaxServiceFrom51OffersAddRemovePrograms) {
  ASSERT_TRUE(fax_service::Delete());
  ConfigProgram program({"6.1"});
  program.PressApply();
  ExpectMessage(program,
                "CorviskFSP requires Windows Fax Service.\r\nSelect OK to start Add/Remove Programms applet to add Fax "
                "Service,\r\nor Cancel to continue (not recommended).",
                MB_ICONQUESTION, IDCANCEL);
  EXPECT_TRUE(IsWindow(program.Sheet()));
  EXPECT_FALSE(Setting("SMTPPort"));
}

// The offer's OK opens the platform's own applet through the control panel;
// the apply still ends there and the sheet stays.
TEST_F(ConfigEnvironmentTest, OkOnTheAddRemoveOfferOpensTheControlPanelApplet) {
  ASSERT_TRUE(fax_service::Delete());
  ConfigProgram program({"6.1"});
  program.PressApply();
  const auto box = program.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->style & MB_ICONMASK, static_cast<UINT>(MB_ICONQUESTION));
  program.Answer(*box, IDOK);
  const HWND applet = WaitForWindow("Add/Remove Programs", 30000);
  ASSERT_NE(applet, nullptr) << "the control panel did not open Add/Remove Programs";
  DWORD appletProcess = 0;
  GetWindowThreadProcessId(applet, &appletProcess);
  EXPECT_NE(appletProcess, GetProcessId(program.Process()));
  PostMessageA(applet, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(program.NoMessageBox(1000));
  EXPECT_TRUE(IsWindow(program.Sheet()));
  EXPECT_FALSE(Setting("SMTPPort"));
}

// The test prefix installs the helper servers into the system folder: each
// test of a missing server hides its copy there.
TEST_F(ConfigEnvironmentTest, MissingHelperServerIsReportedWithItsPathAndTheApplyGoesOn) {
  RegisterHelperServer(L"QuendrySuppEmail", false);
  const HiddenFile installed(InstalledServer(L"QuendrySuppEmail"));
  ConfigProgram program;
  program.PressOk();
  ExpectShellFileNotFound(program);
  const auto box = program.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, ProgramSystemFolder() + "\\QuendrySuppEmail.exe");
  program.Answer(*box, IDOK);
  FinishApply(program);
  EXPECT_EQ(program.WaitForExit(), 0u);
  EXPECT_EQ(Setting("SMTPPort"), "2525");
}

TEST_F(ConfigEnvironmentTest, HelperServerInTheSystemFolderIsRegistered) {
  RegisterHelperServer(L"QuendrySuppEmail", false);
  const std::string installed = ProgramSystemFolder() + "\\QuendrySuppEmail.exe";
  const std::wstring built = ProgramFolder() + L"QuendrySuppEmail.exe";
  ASSERT_TRUE(CopyFileW(built.c_str(), std::wstring(installed.begin(), installed.end()).c_str(), FALSE));
  ConfigProgram program;
  program.PressOk();
  FinishApply(program);
  EXPECT_EQ(program.WaitForExit(), 0u);
  EXPECT_TRUE(ProgIdResolves(L"QuendrySuppEmail.SuppEmail"));
  RegisterHelperServer(L"QuendrySuppEmail", false);
  DeleteFileA(installed.c_str());
}

TEST_F(ConfigEnvironmentTest, WorkstationNeverChecksQuendrySuppDetails) {
  RegisterHelperServer(L"QuendrySuppDetails", false);
  ConfigProgram program({"6.1"});
  program.PressOk();
  FinishApply(program);
  EXPECT_EQ(program.WaitForExit(), 0u);
  EXPECT_FALSE(ProgIdResolves(L"QuendrySuppDetails.SuppDetails"));
}

TEST_F(ConfigEnvironmentTest, ServerEditionChecksQuendrySuppDetails) {
  RegisterHelperServer(L"QuendrySuppDetails", false);
  const HiddenFile installed(InstalledServer(L"QuendrySuppDetails"));
  ConfigProgram program({"5.2-server"});
  program.PressOk();
  ExpectShellFileNotFound(program);
  const auto box = program.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, ProgramSystemFolder() + "\\QuendrySuppDetails.exe");
  EXPECT_EQ(box->text,
            "Failed to start QuendrySuppDetails -RegServer.\r\nPlease start command prompt as Administrator, navigate "
            "to Windows System directory and run\r\nQuendrySuppDetails.exe -RegServer\r\nto register this service");
  program.Answer(*box, IDOK);
  FinishApply(program);
}

TEST_F(ConfigEnvironmentTest, AlreadyRegisteredProviderIsLeftAloneAndTheServiceKeepsRunning) {
  ASSERT_TRUE(fax_service::Start());
  ConfigProgram program({"6.1-server"});
  program.PressOk();
  FinishApply(program);
  EXPECT_EQ(program.WaitForExit(), 0u);
  EXPECT_EQ(fax_service::State(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(ConfigEnvironmentTest, UnregisteredProviderIsRegisteredOnceAndTheServiceStopped) {
  RemoveRegistration();
  ASSERT_TRUE(fax_service::Start());
  ConfigProgram program({"6.1-server"});
  program.PressApply();
  ExpectMessage(program, kServiceAccountNotice, 0);
  FinishApply(program);
  EXPECT_TRUE(fax_service::WaitForState(SERVICE_STOPPED));
  const auto image = ReadText(kFaxProviderKey, L"ImageName");
  ASSERT_TRUE(image);
  const std::string expected = ProgramSystemFolder() + "\\CorviskFSP.dll";
  EXPECT_EQ(image->text, std::wstring(expected.begin(), expected.end()));
  EXPECT_EQ(ReadText(kFaxProviderKey, L"FriendlyName")->text, L"Corvisk FSP");
  // Tried once per program run: the second press neither registers nor tells.
  RemoveRegistration();
  program.PressApply();
  FinishApply(program);
  EXPECT_FALSE(KeyExists(kFaxProviderKey));
}

TEST_F(ConfigEnvironmentTest, MissingFaxClientLibraryIsReported) {
  RemoveRegistration();
  WinFaxSwap hidden;
  ASSERT_TRUE(hidden.Done());
  ConfigProgram program({"6.1"});
  program.PressApply();
  ExpectMessage(program,
                "Exception in FaxRegisterServiceProvider(CorviskFSP) - Fax Service is probably not installed\r\nYou "
                "might not be able to use CorviskFSP",
                MB_ICONERROR);
  FinishApply(program);
}

TEST_F(ConfigEnvironmentTest, Wow64LooksInThe32BitSystemFolder) {
  RegisterHelperServer(L"QuendrySuppEmail", false);
  const HiddenFile installed(InstalledServer(L"QuendrySuppEmail"));
  ConfigProgram program({"6.1", true});
  program.PressApply();
  ExpectShellFileNotFound(program);
  const auto box = program.WaitForMessageBox();
  ASSERT_TRUE(box);
  char folder[MAX_PATH] = "";
  GetSystemWow64DirectoryA(folder, MAX_PATH);
  EXPECT_EQ(box->caption, std::string(folder) + "\\QuendrySuppEmail.exe");
  program.Answer(*box, IDOK);
  FinishApply(program);
}

}  // namespace
}  // namespace corvisk::test
