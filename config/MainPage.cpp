#include <windows.h>
#include <shellapi.h>

#include "config/ConfigApp.h"
#include "config/MessageBoxes.h"
#include "config/Pages.h"
#include "settings/BuiltInConstants.h"
#include "settings/Settings.h"

namespace corvisk {
namespace {

constexpr int kGatewayDomainChars = 63;
constexpr int kNotifyAddressChars = 127;
constexpr int kGatewayPasswordChars = 63;

}  // namespace

CMainPage::CMainPage(CConfigApp& app)
    : CPropertyPage(app, IDD_MAIN_PAGE),
      m_strGatewayDomain(GatewayDomain()),
      m_strNotifyLabel(app.m_bPerUserNotify ? "Notify Me Email Address (default)" : "Notify Me Email Address") {}

void CMainPage::DoDataExchange(DataExchange& exchange) {
  exchange.Text(IDC_GATEWAY_DOMAIN, m_strGatewayDomain, kGatewayDomainChars);
  exchange.Text(IDC_NOTIFY_ADDRESS, m_strNotifyAddress, kNotifyAddressChars);
  exchange.Shown(IDC_NOTIFY_LABEL, m_strNotifyLabel);
  exchange.Text(IDC_GATEWAY_PASSWORD, m_strGatewayPassword, kGatewayPasswordChars);
}

// The administrator notice waits until the sheet is on screen.
void CMainPage::OnInitDialog() {
  AddTooltip(IDC_NOTIFY_ADDRESS, IDS_TIP_NOTIFY_ADDRESS);
  PostMessageA(Window(), WM_COMMAND, MAKEWPARAM(IDC_ADMIN_NOTICE, BN_CLICKED), 0);
}

bool CMainPage::OnKillActive() {
  if (!UpdateData(true)) return false;
  m_strNotifyAddress = TrimBlanks(m_strNotifyAddress);
  if (m_strNotifyAddress.empty()) {
    ShowMessage(Window(), IDS_NOTIFY_EMPTY, MB_ICONERROR);
    return false;
  }
  if (m_strGatewayPassword.empty()) {
    ShowMessage(Window(), "Corvisk password must not be empty", MB_ICONERROR);
    return false;
  }
  return true;
}

void CMainPage::OnCommand(WORD control, WORD code) {
  switch (control) {
    case IDC_HOME_PAGE:
      ShellExecuteA(nullptr, "open", kVendorHomePage, nullptr, nullptr, SW_SHOWMAXIMIZED);
      break;
    case IDC_ADMIN_NOTICE:
      m_pApp->ShowAdministratorNotice();
      break;
    default:
      // The gateway password is not one of them: its edits leave Apply as it is.
      MarkModifiedOn(control, code, {IDC_GATEWAY_DOMAIN, IDC_NOTIFY_ADDRESS});
  }
}

}  // namespace corvisk
