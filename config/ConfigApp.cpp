#include "config/ConfigApp.h"

#include <commctrl.h>
#include <shellapi.h>

#include "common/Product.h"
#include "config/EnvironmentChecks.h"
#include "config/MessageBoxes.h"
#include "config/Pages.h"
#include "config/PropertySheet.h"
#include "config/SingleInstance.h"
#include "joblog/JobLogPath.h"
#include "launch/RunningInstance.h"
#include "settings/SettingsStore.h"
#include "win32/DynamicCalls.h"
#include "win32/Handles.h"
#include "win32/PlatformVersion.h"

namespace corvisk {
namespace {

constexpr char kProviderKey[] = "SOFTWARE\\Microsoft\\Fax\\Device Providers\\CorviskFSP";

// Only where the system can run a program without its administrator rights.
BOOL IsNotAdmin() {
  const unique_hmodule shell(LoadLibraryA("shell32.dll"));
  const auto isUserAnAdmin = BindShell32Calls(shell.get()).IsUserAnAdmin;
  return isUserAnAdmin && !isUserAnAdmin();
}

BOOL IsWow64() {
  const auto isWow64Process = BindKernel32Calls().IsWow64Process;
  BOOL wow64 = FALSE;
  return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::string ShownLine(const char* label, const std::optional<std::string>& value) {
  return value ? label + *value : std::string();
}

}  // namespace

CConfigApp::CConfigApp() {
  const PlatformVersion version = QueryPlatformVersion();
  m_bLegacyFax = version.major <= 5 && version.minor == 0;
  m_bServer = version.IsServer();
  m_bPerUserNotify = m_bServer && version.AtLeast(5, 2);
  m_bServiceAccountNotice = m_bServer && version.major >= 6;
  m_bNT6 = version.major >= 6;
  m_bNotAdmin = m_bNT6 && IsNotAdmin();
  m_bWow64 = IsWow64();
}

void CConfigApp::InitInstance() {
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  if (PulseRunningInstance()) return;
  InstanceWaiter waiter([this] { return MainWindow(); });
  CMainPage mainPage(*this);
  CSMTPPage smtpPage(*this);
  CSMTPAdvPage smtpAdvPage(*this);
  CMiscPage miscPage(*this);
  CTransportPage transportPage(*this);
  CQuendryPropSheet sheet(std::string(kProductName) + kSheetTitleVersion + kVersionText + kSheetTitleSuffix,
                          {&mainPage, &smtpPage, &smtpAdvPage, &miscPage, &transportPage}, m_hMainWindow);
  m_pMainPage = &mainPage;
  m_pSmtpPage = &smtpPage;
  m_pSmtpAdvPage = &smtpAdvPage;
  m_pMiscPage = &miscPage;
  m_pTransportPage = &transportPage;
  m_pSheet = &sheet;
  ProbeProviderRegistration();
  LoadSettings();
  sheet.DoModal();
  m_pSheet = nullptr;
}

// The registration is repeated at the first apply unless the fax service
// already knows the provider.
void CConfigApp::ProbeProviderRegistration() {
  unique_hkey key;
  const REGSAM view = m_bWow64 ? KEY_WOW64_64KEY : 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProviderKey, 0, KEY_READ | view, key.put()) == ERROR_SUCCESS)
    m_bRegisterProvider = FALSE;
}

void CConfigApp::LoadSettings() {
  const ConfigSettings settings = LoadConfigSettings();
  m_pSmtpPage->m_strServer = settings.smtpServer;
  m_pSmtpPage->m_strAccount = settings.smtpUserName;
  m_pSmtpPage->m_strPassword = settings.smtpPassword;
  m_pMainPage->m_strNotifyAddress = settings.notifyAddress;
  m_pMainPage->m_strGatewayPassword = settings.gatewayPassword;
  m_pMiscPage->m_bGenerateLog = settings.debugOutput;
  m_pSmtpPage->m_nPort = settings.smtpPort;
  m_pSmtpPage->m_nTimeout = settings.smtpTimeout;
  m_pSmtpAdvPage->m_bNtlm = settings.ntlmAuthentication;
  m_pSmtpAdvPage->m_bSsl = settings.useSsl;
  m_pMiscPage->m_strPreprocessLine = ShownLine("PreProcessCmd: ", settings.preprocessCommand);
  m_pMiscPage->m_strPrefixLine =
      ShownLine("CorviskFSP will remove international call prefix: ", settings.internationalPrefix);
  LoadTransport();
}

// The transport's values; a key that does not open leaves the defaults.
void CConfigApp::LoadTransport() {
  TransportChoice& choice = m_pTransportPage->m_choice;
  ReadM365Settings(choice.settings);
  ReadGoogleSettings(choice.googleSettings);
  std::string transport;
  choice.transportStored = ReadMailTransport(transport) == ERROR_SUCCESS;
  choice.microsoft365 = lstrcmpiA(transport.c_str(), kMicrosoft365Transport) == 0;
  choice.google = lstrcmpiA(transport.c_str(), kGoogleTransport) == 0;
}

// The provider's own log file, in Notepad.
void CConfigApp::ViewLogFile() const {
  const std::string path = JobLogPath();
  const std::string folder = GetSystemFolder(FALSE);
  ShellExecuteA(MainWindow(), nullptr, "notepad.exe", path.c_str(), folder.c_str(), SW_SHOWNORMAL);
}

void CConfigApp::ShowAdministratorNotice() const {
  if (!m_bNotAdmin) return;
  ShowMessage(MainWindow(),
              "Only Administrator can modify the CorviskFSP configuration. Please restart the applet using Shift and "
              "right mouse click and selecting 'Run as Administrator' drop-down menu option.",
              MB_ICONERROR);
}

}  // namespace corvisk
