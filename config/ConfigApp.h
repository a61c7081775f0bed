#pragma once
// The application object: what the program learns about the machine when it
// starts, the start-up that fills the pages and shows the sheet, and the one
// apply procedure behind every page's apply.
#include <windows.h>

#include <atomic>
#include <string>
#include <type_traits>

#include "config/FaxServerIntegration.h"
#include "config/TestMailTransport.h"

namespace corvisk {

class CQuendryPropSheet;
class CMainPage;
class CSMTPPage;
class CSMTPAdvPage;
class CMiscPage;
class CTransportPage;

// Lives until the process ends: nothing in it needs destroying.
class CConfigApp {
 public:
  CConfigApp();
  CConfigApp(const CConfigApp&) = delete;
  CConfigApp& operator=(const CConfigApp&) = delete;

  // Start-up: shows the sheet unless another instance runs, and returns when
  // it has closed.
  void InitInstance();
  BOOL ApplySettings();
  BOOL DiscoverSmtpServer(std::string notifyAddress, std::string& server);
  void SendTestMail();
  // The fax server's banner setting; FALSE when it could not be read.
  BOOL ReadBanner(BOOL& banner);
  void ViewLogFile() const;
  void ShowAdministratorNotice() const;
  HWND MainWindow() const { return m_hMainWindow.load(); }

  BOOL m_bLegacyFax;
  BOOL m_bServer;
  BOOL m_bPerUserNotify;
  BOOL m_bServiceAccountNotice;
  BOOL m_bNT6;
  BOOL m_bNotAdmin;
  BOOL m_bWow64;
  BOOL m_bRegisterProvider = TRUE;
  BOOL m_bApplyResult = FALSE;

  CMainPage* m_pMainPage = nullptr;
  CSMTPPage* m_pSmtpPage = nullptr;
  CSMTPAdvPage* m_pSmtpAdvPage = nullptr;
  CMiscPage* m_pMiscPage = nullptr;
  CTransportPage* m_pTransportPage = nullptr;
  CQuendryPropSheet* m_pSheet = nullptr;

 private:
  void ProbeProviderRegistration();
  void LoadSettings();
  BOOL RunApply();
  BOOL SaveSettings();
  BOOL SaveTransport();
  void LoadTransport();
  BOOL ConfirmNotOnlyDevice();
  void AdjustFaxServer();
  FaxObjectModel FaxModel() const;
  TestMailRequest ComposeTestMail(const std::string& address) const;
  void SendGraphTestMail(const std::string& address);
  void SendGmailTestMail(const std::string& address);
  HWND TestMailPage() const;

  // Read by the waiter thread.
  std::atomic<HWND> m_hMainWindow{nullptr};
};

static_assert(std::is_trivially_destructible_v<CConfigApp>, "the waiter thread may outlive the program's end");

}  // namespace corvisk
