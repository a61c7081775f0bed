// The application's calls into SMTP discovery, the test mail and the fax
// server integration: what the user is asked and shown around them, the COM
// apartment, and the sheet held still while a test mail is under way.
#include <objbase.h>

#include "common/MailAddress.h"
#include "config/ConfigApp.h"
#include "config/FaxServerIntegration.h"
#include "config/MessageBoxes.h"
#include "config/Pages.h"
#include "config/PropertySheet.h"
#include "config/SmtpDiscovery.h"
#include "config/TestMailTransport.h"
#include "settings/Settings.h"
#include "win32/ComApartment.h"
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

}  // namespace corvisk
