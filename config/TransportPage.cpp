// The Mail Transport page: the mail server of the other pages, or Microsoft
// 365 through Microsoft Graph with its tenant, application and credential.
#include <windows.h>
#include <commdlg.h>
#include <wincrypt.h>

#include <cctype>
#include <fstream>
#include <iterator>

#include "cloudmail/CertificateImport.h"
#include "common/TextFormat.h"
#include "config/ConfigApp.h"
#include "config/MessageBoxes.h"
#include "config/Pages.h"
#include "win32/AnsiText.h"
#include "win32/CryptoHandles.h"

namespace corvisk {
namespace {

constexpr int kTextChars = 255;
constexpr ULONGLONG kFileTimePerDay = 10000000ULL * 60 * 60 * 24;

// The clouds and their hosts; a fourth entry keeps hosts typed into the registry.
struct Cloud {
  const char* name;
  const char* authority;
  const char* graph;
};
constexpr Cloud kClouds[] = {{"Global", kDefaultAuthorityHost, kDefaultGraphHost},
                             {"US Government", "login.microsoftonline.us", "graph.microsoft.us"},
                             {"China", "login.chinacloudapi.cn", "microsoftgraph.chinacloudapi.cn"}};
constexpr int kCloudCount = sizeof kClouds / sizeof kClouds[0];

bool IsGuid(const std::string& text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

// contoso.onmicrosoft.com: labels of letters, digits and hyphens.
bool IsDomainName(const std::string& text) {
  if (text.empty() || text.find('.') == std::string::npos || text.front() == '.' || text.back() == '.') return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && text[i + 1] == '.') return false;
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') return false;
  }
  return true;
}

int CloudOf(const M365Settings& settings) {
  for (int i = 0; i < kCloudCount; ++i) {
    if (settings.authorityHost == kClouds[i].authority && settings.graphHost == kClouds[i].graph) return i;
  }
  return kCloudCount;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool EndsWith(const std::string& text, const char* suffix) {
  const size_t length = lstrlenA(suffix);
  return text.size() >= length && lstrcmpiA(text.c_str() + text.size() - length, suffix) == 0;
}

// Subject, thumbprint and expiry of the certificate; days left through daysLeft.
std::string DescribeCertificate(const std::string& der, long long& daysLeft) {
  const unique_cert_context certificate(CertCreateCertificateContext(
      X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size())));
  if (!certificate) return "(none)";
  char subject[256] = "";
  CertGetNameStringA(certificate.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, subject, sizeof subject);
  BYTE hash[20];
  DWORD size = sizeof hash;
  std::string thumbprint;
  if (CertGetCertificateContextProperty(certificate.get(), CERT_SHA1_HASH_PROP_ID, hash, &size))
    for (DWORD i = 0; i < size; ++i) thumbprint += FormatText("%02X", hash[i]);
  const FILETIME& notAfter = certificate.get()->pCertInfo->NotAfter;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  daysLeft = (static_cast<long long>(ticks(notAfter)) - static_cast<long long>(ticks(now))) /
             static_cast<long long>(kFileTimePerDay);
  SYSTEMTIME expiry = {};
  FileTimeToSystemTime(&notAfter, &expiry);
  return FormatText("%s\r\n%s\r\nexpires %04u-%02u-%02u", subject, thumbprint.c_str(), expiry.wYear, expiry.wMonth,
                    expiry.wDay);
}

}  // namespace

void CTransportPage::DoDataExchange(DataExchange& exchange) {
  BOOL microsoft365 = m_choice.microsoft365;
  exchange.Check(IDC_TRANSPORT_M365, microsoft365);
  m_choice.microsoft365 = microsoft365 != FALSE;
  if (!exchange.FromControls())
    CheckDlgButton(Window(), IDC_TRANSPORT_SMTP, microsoft365 ? BST_UNCHECKED : BST_CHECKED);
  exchange.Text(IDC_M365_TENANT, m_choice.settings.tenantId, kTextChars);
  exchange.Text(IDC_M365_CLIENT, m_choice.settings.clientId, kTextChars);
  exchange.Text(IDC_M365_SECRET, m_strSecret, kTextChars);
  exchange.Text(IDC_M365_PFX_PASSWORD, m_strPfxPassword, kTextChars);
  exchange.Text(IDC_M365_MAILBOX, m_choice.settings.mailbox, kTextChars);
  ExchangeCloud(exchange);
  if (!exchange.FromControls()) {
    ShowCertificate();
    EnableMicrosoft365(m_choice.microsoft365);
  }
}

void CTransportPage::ExchangeCloud(DataExchange& exchange) {
  const HWND combo = GetDlgItem(Window(), IDC_M365_CLOUD);
  if (exchange.FromControls()) {
    const int chosen = static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
    if (chosen >= 0 && chosen < kCloudCount) {
      m_choice.settings.authorityHost = kClouds[chosen].authority;
      m_choice.settings.graphHost = kClouds[chosen].graph;
    }
    return;
  }
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const Cloud& cloud : kClouds) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(cloud.name));
  const int current = CloudOf(m_choice.settings);
  if (current == kCloudCount) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Hosts as stored"));
  SendMessageA(combo, CB_SETCURSEL, current, 0);
}

void CTransportPage::OnInitDialog() {
  AddTooltip(IDC_TEST_MAIL, IDS_TIP_TEST_MAIL);
  AddTooltip(IDC_M365_SECRET, IDS_TIP_M365_SECRET);
  AddTooltip(IDC_M365_IMPORT, IDS_TIP_M365_IMPORT);
  AddTooltip(IDC_M365_MAILBOX, IDS_TIP_M365_MAILBOX);
}

void CTransportPage::EnableMicrosoft365(bool enable) const {
  for (const int control : {IDC_M365_TENANT, IDC_M365_CLIENT, IDC_M365_SECRET, IDC_M365_IMPORT, IDC_M365_PFX_PASSWORD,
                            IDC_M365_MAILBOX, IDC_M365_CLOUD})
    EnableWindow(GetDlgItem(Window(), control), enable);
}

void CTransportPage::ShowCertificate() const {
  long long daysLeft = 0;
  const std::string text =
      m_choice.settings.certificate.empty() ? "(none)" : DescribeCertificate(m_choice.settings.certificate, daysLeft);
  SetDlgItemTextA(Window(), IDC_M365_CERT_INFO, text.c_str());
}

// The tenant and the application are checked here; Microsoft checks the rest
// when the first fax or Test Mail asks for a token.
bool CTransportPage::Validate() {
  if (!UpdateData(true)) return false;
  if (!m_choice.microsoft365) return true;
  const M365Settings& settings = m_choice.settings;
  UINT problem = 0;
  if (!IsGuid(settings.tenantId) && !IsDomainName(settings.tenantId))
    problem = IDS_M365_TENANT_INVALID;
  else if (!IsGuid(settings.clientId))
    problem = IDS_M365_CLIENT_INVALID;
  else if (settings.certificate.empty() && settings.clientSecretBlob.empty() && m_strSecret.empty())
    problem = IDS_M365_NO_CREDENTIAL;
  if (problem == 0) return true;
  ShowMessage(Window(), problem, MB_ICONERROR);
  return false;
}

void CTransportPage::ImportCertificate() {
  if (!UpdateData(true)) return;
  char path[MAX_PATH] = "";
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = Window();
  dialog.lpstrFilter = "Certificate and key (*.pfx;*.p12;*.pem)\0*.pfx;*.p12;*.pem\0All files\0*.*\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameA(&dialog)) return;
  const std::string bytes = ReadFileBytes(path);
  ImportedCredential credential;
  const CloudOutcome outcome = EndsWith(path, ".pem")
                                   ? ImportPemCredential(bytes, credential)
                                   : ImportPfxCredential(bytes, ToWide(m_strPfxPassword), credential);
  if (FAILED(outcome.result)) {
    ShowMessage(Window(), outcome.text, MB_ICONERROR);
    return;
  }
  m_choice.settings.certificate = credential.certificate;
  m_choice.settings.certificateKeyBlob = credential.protectedKey;
  m_choice.newCertificate = true;
  SetModified();
  ShowCertificate();
  long long daysLeft = 0;
  DescribeCertificate(credential.certificate, daysLeft);
  if (daysLeft < 30) ShowMessage(Window(), IDS_M365_EXPIRES_SOON, MB_ICONWARNING);
}

void CTransportPage::OnCommand(WORD control, WORD code) {
  switch (control) {
    case IDC_TRANSPORT_SMTP:
    case IDC_TRANSPORT_M365:
      EnableMicrosoft365(IsDlgButtonChecked(Window(), IDC_TRANSPORT_M365) == BST_CHECKED);
      SetModified();
      break;
    case IDC_M365_IMPORT:
      ImportCertificate();
      break;
    case IDC_TEST_MAIL:
      if (Validate()) m_pApp->SendTestMail();
      break;
    case IDC_M365_CLOUD:
      if (code == CBN_SELCHANGE) SetModified();
      break;
    default:
      MarkModifiedOn(control, code, {IDC_M365_TENANT, IDC_M365_CLIENT, IDC_M365_SECRET, IDC_M365_MAILBOX});
  }
}

}  // namespace corvisk
