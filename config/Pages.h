#pragma once
// The four pages of the sheet. Their fields hold the settings between
// exchanges: filled at start-up, pushed to the controls when a page is first
// shown, pulled back when it is left or validated.
#include <string>

#include "cloudmail/CertificateImport.h"
#include "cloudmail/TransportChoice.h"
#include "config/PropertyPage.h"
#include "config/Resource.h"

namespace corvisk {

class CMainPage : public CPropertyPage {
 public:
  explicit CMainPage(CConfigApp& app);

  std::string m_strGatewayDomain;
  std::string m_strNotifyAddress;
  std::string m_strNotifyLabel;
  std::string m_strGatewayPassword;

 protected:
  void DoDataExchange(DataExchange& exchange) override;
  void OnInitDialog() override;
  bool OnKillActive() override;
  void OnCommand(WORD control, WORD code) override;
};

class CSMTPPage : public CPropertyPage {
 public:
  explicit CSMTPPage(CConfigApp& app);
  // The page's own validation, also run before a test mail.
  bool Validate();

  int m_nPort;
  std::string m_strServer;
  std::string m_strAccount;
  int m_nTimeout;
  std::string m_strPassword;

 protected:
  void DoDataExchange(DataExchange& exchange) override;
  void OnInitDialog() override;
  bool OnKillActive() override { return Validate(); }
  void OnCommand(WORD control, WORD code) override;

 private:
  void RetrieveSmtpServer();
};

class CSMTPAdvPage : public CPropertyPage {
 public:
  explicit CSMTPAdvPage(CConfigApp& app) : CPropertyPage(app, IDD_SMTP_ADV_PAGE) {}

  BOOL m_bNtlm = FALSE;
  BOOL m_bSsl = FALSE;

 protected:
  void DoDataExchange(DataExchange& exchange) override;
  void OnInitDialog() override;
  void OnCommand(WORD control, WORD code) override;
};

class CMiscPage : public CPropertyPage {
 public:
  explicit CMiscPage(CConfigApp& app) : CPropertyPage(app, IDD_MISC_PAGE) {}

  BOOL m_bGenerateLog = FALSE;
  std::string m_strPrefixLine;
  std::string m_strPreprocessLine;
  BOOL m_bUseOnly = TRUE;
  BOOL m_bLocalBanner = FALSE;
  bool m_bBannerLoaded = false;

 protected:
  void DoDataExchange(DataExchange& exchange) override;
  void OnInitDialog() override;
  void OnSetActive() override;
  void OnCommand(WORD control, WORD code) override;
};

// The transport: the mail server of the other pages, Microsoft 365 or Google Workspace.
class CTransportPage : public CPropertyPage {
 public:
  explicit CTransportPage(CConfigApp& app) : CPropertyPage(app, IDD_TRANSPORT_PAGE) {}
  ~CTransportPage() override;
  bool Validate();
  // Once the typed secret is stored, protected.
  void ForgetTypedSecret();

  TransportChoice m_choice;
  std::string m_strSecret;  // typed; protected when saved
  std::string m_strPfxPassword;

 protected:
  void DoDataExchange(DataExchange& exchange) override;
  void OnInitDialog() override;
  bool OnKillActive() override { return Validate(); }
  void OnCommand(WORD control, WORD code) override;

 private:
  void ShowChosenTransport() const;
  void ExchangeCloud(DataExchange& exchange);
  void ShowCloudHosts(int cloud) const;
  void ImportCertificate();
  void CreateCertificate();
  void KeepCertificate(const ImportedCredential& credential);
  void ShowCertificate() const;
  void ImportGoogleKey();
  void ShowGoogleAccount() const;
};

}  // namespace corvisk
