// The two mail server pages.
#include "config/ConfigApp.h"
#include "config/MessageBoxes.h"
#include "config/Pages.h"
#include "settings/Settings.h"

namespace corvisk {
namespace {

constexpr int kServerChars = 63;
constexpr int kAccountChars = 127;
constexpr int kPasswordChars = 63;
constexpr int kPortMax = 9999;
constexpr int kTimeoutMax = 3600;

}  // namespace

CSMTPPage::CSMTPPage(CConfigApp& app)
    : CPropertyPage(app, IDD_SMTP_PAGE),
      m_nPort(kDefaultSmtpPort),
      m_strServer(BuiltInSmtpHost()),
      m_nTimeout(kDefaultSmtpTimeout) {}

void CSMTPPage::DoDataExchange(DataExchange& exchange) {
  exchange.Integer(IDC_SMTP_PORT, m_nPort, 0, kPortMax);
  exchange.Text(IDC_SMTP_SERVER, m_strServer, kServerChars);
  exchange.Text(IDC_SMTP_ACCOUNT, m_strAccount, kAccountChars);
  exchange.Integer(IDC_SMTP_TIMEOUT, m_nTimeout, 1, kTimeoutMax);
  exchange.Text(IDC_SMTP_PASSWORD, m_strPassword, kPasswordChars);
}

void CSMTPPage::OnInitDialog() {
  AddTooltip(IDC_SMTP_SERVER, IDS_TIP_SMTP_SERVER);
  AddTooltip(IDC_SMTP_PORT, IDS_TIP_SMTP_PORT);
  AddTooltip(IDC_SMTP_TIMEOUT, IDS_TIP_SMTP_TIMEOUT);
  AddTooltip(IDC_SMTP_ACCOUNT, IDS_TIP_SMTP_ACCOUNT);
  AddTooltip(IDC_SMTP_PASSWORD, IDS_TIP_SMTP_PASSWORD);
  AddTooltip(IDC_RETRIEVE_SMTP, IDS_TIP_RETRIEVE_SMTP);
  AddTooltip(IDC_TEST_MAIL, IDS_TIP_TEST_MAIL);
}

// An account is needed for a password, except for the local pickup service,
// which takes no login.
bool CSMTPPage::Validate() {
  if (!UpdateData(true)) return false;
  if (m_strServer.empty()) {
    ShowMessage(Window(), IDS_SMTP_SERVER_EMPTY, MB_ICONERROR);
    return false;
  }
  if (!IsLocalPickup(m_strServer) && m_strAccount.empty() && !m_strPassword.empty()) {
    ShowMessage(Window(), IDS_SMTP_NAME_EMPTY, MB_ICONERROR);
    return false;
  }
  return true;
}

// The field is pushed to its control like a page load, whose change reports
// are ignored; a server that differs is the user's change all the same.
void CSMTPPage::RetrieveSmtpServer() {
  if (!UpdateData(true)) return;
  std::string server;
  if (!m_pApp->DiscoverSmtpServer(m_pApp->m_pMainPage->m_strNotifyAddress, server)) return;
  const bool changed = server != m_strServer;
  m_strServer = server;
  UpdateData(false);
  if (changed) SetModified();
}

void CSMTPPage::OnCommand(WORD control, WORD code) {
  switch (control) {
    case IDC_RETRIEVE_SMTP:
      RetrieveSmtpServer();
      break;
    case IDC_TEST_MAIL:
      if (Validate()) m_pApp->SendTestMail();
      break;
    default:
      MarkModifiedOn(control, code,
                     {IDC_SMTP_SERVER, IDC_SMTP_PORT, IDC_SMTP_TIMEOUT, IDC_SMTP_ACCOUNT, IDC_SMTP_PASSWORD});
  }
}

void CSMTPAdvPage::DoDataExchange(DataExchange& exchange) {
  exchange.Check(IDC_NTLM, m_bNtlm);
  exchange.Check(IDC_SSL, m_bSsl);
}

void CSMTPAdvPage::OnInitDialog() {
  AddTooltip(IDC_NTLM, IDS_TIP_NTLM);
  AddTooltip(IDC_SSL, IDS_TIP_SSL);
}

void CSMTPAdvPage::OnCommand(WORD control, WORD code) { MarkModifiedOn(control, code, {IDC_NTLM, IDC_SSL}); }

}  // namespace corvisk
