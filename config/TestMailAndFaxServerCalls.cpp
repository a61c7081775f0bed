// The application's calls into SMTP discovery, the test mail and the fax
// server integration: what the user is asked and shown around them, the COM
// apartment, and the sheet held still while a test mail is under way.
#include <objbase.h>

#include "cloudmail/CloudTestMail.h"
#include "cloudmail/ProtectedData.h"
#include "common/MailAddress.h"
#include "common/TextFormat.h"
#include "config/ConfigApp.h"
#include "config/FaxServerIntegration.h"
#include "config/MessageBoxes.h"
#include "config/Pages.h"
#include "config/PropertySheet.h"
#include "config/SmtpDiscovery.h"
#include "config/TestMailTransport.h"
#include "settings/Settings.h"
#include "win32/ComApartment.h"
#include "win32/SystemMessage.h"
#include "win32/WaitCursor.h"

namespace corvisk {
namespace {

// While a test mail blocks the user interface thread, window messages can
// still be dispatched: the sheet must not close, apply or start other work
// under it.
class SheetHeld {
 public:
  SheetHeld(CQuendryPropSheet& sheet, HWND page) : sheet_(sheet), page_(page) { Hold(true); }
  SheetHeld(const SheetHeld&) = delete;
  SheetHeld& operator=(const SheetHeld&) = delete;
  ~SheetHeld() { Hold(false); }

 private:
  void Hold(bool held) {
    sheet_.Hold(held);
    EnableWindow(GetDlgItem(page_, IDC_TEST_MAIL), !held);
    EnableWindow(GetDlgItem(page_, IDC_RETRIEVE_SMTP), !held);
  }

  CQuendryPropSheet& sheet_;
  HWND page_;
};

// "The token expires ... and carries the roles ..." for the test mail's report.
std::string DescribeToken(const TokenFacts& facts) {
  if (facts.expiresAt <= 0) return {};
  const ULONGLONG ticks = (static_cast<ULONGLONG>(facts.expiresAt) + 11644473600ULL) * 10000000ULL;
  const FILETIME time = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME expiry = {};
  FileTimeToSystemTime(&time, &expiry);
  return FormatText("\r\nThe token expires %04u-%02u-%02u %02u:%02u UTC and carries the roles: %s", expiry.wYear,
                    expiry.wMonth, expiry.wDay, expiry.wHour, expiry.wMinute,
                    facts.roles.empty() ? "none" : facts.roles.c_str());
}

}  // namespace

BOOL CConfigApp::DiscoverSmtpServer(std::string notifyAddress, std::string& server) {
  return corvisk::DiscoverSmtpServer(MainWindow(), std::move(notifyAddress), server);
}

TestMailRequest CConfigApp::ComposeTestMail(const std::string& address) const {
  TestMailRequest request;
  request.address = address;
  request.server = m_pSmtpPage->m_strServer;
  request.account = m_pSmtpPage->m_strAccount;
  request.password = m_pSmtpPage->m_strPassword;
  request.port = m_pSmtpPage->m_nPort;
  request.timeoutSeconds = m_pSmtpPage->m_nTimeout;
  request.ntlm = m_pSmtpAdvPage->m_bNtlm != FALSE;
  request.ssl = m_pSmtpAdvPage->m_bSsl == 1;
  return request;
}

void CConfigApp::SendTestMail() {
  if (m_pSmtpAdvPage->Window()) m_pSmtpAdvPage->UpdateData(true);
  const std::string address = TrimBlanks(m_pMainPage->m_strNotifyAddress);
  if (address.empty()) {
    ShowMessage(MainWindow(), IDS_NOTIFY_EMPTY, MB_ICONERROR);
    return;
  }
  // The address is the recipient and the sender: one mailbox, nothing more.
  if (const AddressCheck check = CheckSingleMailAddress(address); !check) {
    ShowMessage(MainWindow(), "Invalid notify e-mail address: " + DescribeAddressFault(check), MB_ICONERROR);
    return;
  }
  const std::string question = LoadText(IDS_TEST_MAIL_CONFIRM) + "\r\n" + LoadText(IDS_TEST_MAIL_PROCEED);
  if (ShowMessage(MainWindow(), question, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
  if (m_pTransportPage->m_choice.microsoft365) {
    SendGraphTestMail(address);
    return;
  }
  if (m_pTransportPage->m_choice.google) {
    SendGmailTestMail(address);
    return;
  }
  const TestMailRequest request = ComposeTestMail(address);
  // Under WOW64 the provider sends through QuendrySuppEmail too.
  const TestMailTransport transport = m_bWow64 || request.ntlm ? TestMailTransport::SuppEmail : TestMailTransport::Cdo;
  std::string errorText;
  HRESULT result = S_OK;
  {
    // Multithreaded where the platform's CDO wants it.
    const ComApartment apartment(m_bNT6 ? ComApartment::Multithreaded : ComApartment::SingleThreaded);
    const SheetHeld held(*m_pSheet, m_pSmtpPage->Window());
    const WaitCursor wait;
    result = SubmitTestMail(request, transport, errorText);
  }
  if (FAILED(result))
    ShowMessage(MainWindow(), errorText, MB_ICONERROR);
  else
    ShowMessage(MainWindow(), "Test email has been sent successfully to " + address, MB_OK);
}

// Through Microsoft 365 with what the transport page holds, a typed secret
// protected in memory as it would be stored; on success also what the token
// says: its expiry and the application's roles.
void CConfigApp::SendGraphTestMail(const std::string& address) {
  M365Settings settings = m_pTransportPage->m_choice.settings;
  if (!m_pTransportPage->m_strSecret.empty()) {
    if (const DWORD error = ProtectSecret(m_pTransportPage->m_strSecret, settings.clientSecretBlob)) {
      ShowMessage(MainWindow(), "The client secret could not be protected: " + SystemMessageText(error), MB_ICONERROR);
      return;
    }
  }
  TokenFacts facts;
  CloudOutcome outcome;
  {
    const SheetHeld held(*m_pSheet, TestMailPage());
    const WaitCursor wait;
    outcome = SendTestMailThroughGraph(settings, address, m_pSmtpPage->m_nTimeout, facts);
  }
  if (FAILED(outcome.result)) {
    ShowMessage(MainWindow(), outcome.text, MB_ICONERROR);
    return;
  }
  ShowMessage(MainWindow(),
              "Test email has been sent successfully to " + address + " through Microsoft 365." + DescribeToken(facts),
              MB_OK);
}

BOOL CConfigApp::ReadBanner(BOOL& banner) {
  std::string errorText;
  const WaitCursor wait;
  return AccessBanner(FaxModel(), TRUE, banner, errorText);
}

// Failures are shown and the apply still succeeds: the settings are saved.
void CConfigApp::AdjustFaxServer() {
  std::string errorText;
  BOOL done = FALSE;
  {
    const WaitCursor wait;
    done = EnableProviderDevice(FaxModel(), m_pMiscPage->m_bUseOnly, FALSE, errorText);
  }
  if (!done) ShowMessage(MainWindow(), errorText, MB_ICONERROR);
  if (!m_pMiscPage->m_bBannerLoaded) return;
  BOOL banner = m_pMiscPage->m_bLocalBanner;
  {
    const WaitCursor wait;
    done = AccessBanner(FaxModel(), FALSE, banner, errorText);
  }
  if (!done) ShowMessage(MainWindow(), errorText, MB_ICONERROR);
}

FaxObjectModel CConfigApp::FaxModel() const { return m_bLegacyFax ? FaxObjectModel::Legacy : FaxObjectModel::Extended; }

// Through Google Workspace with the key imported or stored.
void CConfigApp::SendGmailTestMail(const std::string& address) {
  CloudOutcome outcome;
  {
    const SheetHeld held(*m_pSheet, TestMailPage());
    const WaitCursor wait;
    outcome = SendTestMailThroughGmail(m_pTransportPage->m_choice.googleSettings, address, m_pSmtpPage->m_nTimeout);
  }
  if (FAILED(outcome.result))
    ShowMessage(MainWindow(), outcome.text, MB_ICONERROR);
  else
    ShowMessage(MainWindow(), "Test email has been sent successfully to " + address + " through Google Workspace.",
                MB_OK);
}

// The page whose Test Mail button was pressed.
HWND CConfigApp::TestMailPage() const {
  const HWND transport = m_pTransportPage->Window();
  return transport && IsWindowVisible(transport) ? transport : m_pSmtpPage->Window();
}

}  // namespace corvisk
