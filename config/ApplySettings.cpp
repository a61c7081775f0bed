// The apply procedure behind every page's apply notification: one run per
// press of OK or Apply Now.
#include "common/Product.h"
#include "config/ConfigApp.h"
#include "config/EnvironmentChecks.h"
#include "config/MessageBoxes.h"
#include "config/Pages.h"
#include "config/PropertySheet.h"
#include "config/Resource.h"
#include "cloudmail/ProtectedData.h"
#include "settings/SettingsStore.h"
#include "win32/SystemMessage.h"

namespace corvisk {

// The property sheet asks every created page to apply; only the first
// notification after a press runs, the others get its result. A held sheet
// applies nothing: a test mail is under way.
BOOL CConfigApp::ApplySettings() {
  if (m_pSheet->m_bBlockClose) return FALSE;
  if (!m_pSheet->m_bApplyRequested) return m_bApplyResult;
  m_pSheet->m_bApplyRequested = FALSE;
  m_bApplyResult = FALSE;
  if (!RunApply()) return FALSE;
  m_bApplyResult = TRUE;
  return TRUE;
}

BOOL CConfigApp::RunApply() {
  const HWND owner = MainWindow();
  if (!CheckFaxService(owner, m_bLegacyFax)) return FALSE;
  const std::string systemFolder = GetSystemFolder(m_bWow64);
  RegisterSiblingServers(owner, systemFolder, m_bServer);
  if (m_bRegisterProvider) {
    m_bRegisterProvider = FALSE;
    RegisterProvider(owner, systemFolder, m_bServiceAccountNotice);
  }
  if (m_pSmtpPage->m_strServer.empty()) {
    std::string server;
    if (!DiscoverSmtpServer(m_pMainPage->m_strNotifyAddress, server)) return FALSE;
    m_pSmtpPage->m_strServer = server;
  }
  if (!SaveSettings() || !SaveTransport()) return FALSE;
  if (!m_pMiscPage->m_bUseOnly && !ConfirmNotOnlyDevice()) return FALSE;
  AdjustFaxServer();
  return TRUE;
}

// Values written before a failure stay written.
BOOL CConfigApp::SaveSettings() {
  ConfigSettings settings;
  settings.smtpServer = m_pSmtpPage->m_strServer;
  settings.smtpUserName = m_pSmtpPage->m_strAccount;
  settings.smtpPassword = m_pSmtpPage->m_strPassword;
  settings.notifyAddress = m_pMainPage->m_strNotifyAddress;
  settings.gatewayPassword = m_pMainPage->m_strGatewayPassword;
  settings.debugOutput = m_pMiscPage->m_bGenerateLog;
  settings.ntlmAuthentication = m_pSmtpAdvPage->m_bNtlm;
  settings.useSsl = m_pSmtpAdvPage->m_bSsl;
  settings.smtpPort = m_pSmtpPage->m_nPort;
  settings.smtpTimeout = m_pSmtpPage->m_nTimeout;
  std::string failureText;
  if (SaveConfigSettings(settings, failureText)) return TRUE;
  ShowMessage(MainWindow(), failureText, MB_ICONERROR);
  return FALSE;
}

// A typed secret is protected for this machine before it is written.
BOOL CConfigApp::SaveTransport() {
  TransportChoice choice = m_pTransportPage->m_choice;
  std::string failureText;
  if (choice.microsoft365 && !m_pTransportPage->m_strSecret.empty()) {
    if (const DWORD error = ProtectSecret(m_pTransportPage->m_strSecret, choice.settings.clientSecretBlob)) {
      ShowMessage(MainWindow(), "The client secret could not be protected: " + SystemMessageText(error), MB_ICONERROR);
      return FALSE;
    }
    choice.newSecret = true;
  }
  if (!SaveTransportChoice(choice, failureText)) {
    ShowMessage(MainWindow(), failureText, MB_ICONERROR);
    return FALSE;
  }
  m_pTransportPage->m_choice.transportStored = choice.transportStored || choice.microsoft365 || choice.google;
  if (choice.newSecret) {
    m_pTransportPage->m_choice.settings.clientSecretBlob = choice.settings.clientSecretBlob;
    m_pTransportPage->ForgetTypedSecret();
  }
  m_pTransportPage->m_choice.newCertificate = false;
  m_pTransportPage->m_choice.newGoogleKey = false;
  return TRUE;
}

BOOL CConfigApp::ConfirmNotOnlyDevice() {
  const std::string question = LoadText(IDS_CONFIRM_NOT_ONLY) + kProductName + LoadText(IDS_CONFIRM_NOT_ONLY_END);
  return ShowMessage(MainWindow(), question, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

}  // namespace corvisk
