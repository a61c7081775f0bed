// The Mail Transport page: the mail server of the other pages, Microsoft 365
// through Microsoft Graph with its tenant, application and credential, or
// Google Workspace through the Gmail API with a service account's key.
#include <windows.h>
#include <commdlg.h>
#include <wincrypt.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "cloudmail/CertificateImport.h"
#include "cloudmail/GoogleKeyImport.h"
#include "cloudmail/SelfSignedCertificate.h"
#include "common/SecureWipe.h"
#include "common/TextFormat.h"
#include "config/ConfigApp.h"
#include "config/MessageBoxes.h"
#include "config/Pages.h"
#include "settings/Settings.h"
#include "win32/AnsiText.h"
#include "win32/CryptoHandles.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"
#include "win32/WaitCursor.h"

namespace corvisk {
namespace {

constexpr int kTextChars = 255;
constexpr ULONGLONG kFileTimePerDay = 10000000ULL * 60 * 60 * 24;
// Two years: long enough to forget, short enough to be renewed.
constexpr unsigned kCreatedCertificateDays = 730;

// The clouds and their hosts; a fourth entry takes hosts typed in.
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

constexpr int kMicrosoft365Controls[] = {
    IDC_M365_GROUP,        IDC_M365_TENANT_LABEL, IDC_M365_TENANT,         IDC_M365_CLIENT_LABEL,  IDC_M365_CLIENT,
    IDC_M365_CERT_LABEL,   IDC_M365_CERT_INFO,    IDC_M365_IMPORT,         IDC_M365_CREATE,        IDC_M365_PFX_LABEL,
    IDC_M365_PFX_PASSWORD, IDC_M365_SECRET_LABEL, IDC_M365_SECRET,         IDC_M365_MAILBOX_LABEL, IDC_M365_MAILBOX,
    IDC_M365_CLOUD,        IDC_M365_HOSTS_LABEL,  IDC_M365_AUTHORITY_HOST, IDC_M365_GRAPH_HOST};
constexpr int kGoogleControls[] = {IDC_GOOGLE_GROUP,  IDC_GOOGLE_ACCOUNT_LABEL, IDC_GOOGLE_ACCOUNT,
                                   IDC_GOOGLE_IMPORT, IDC_GOOGLE_MAILBOX_LABEL, IDC_GOOGLE_MAILBOX,
                                   IDC_GOOGLE_NOTE};

// login.example.net or localhost:8443: labels of letters, digits and inner
// hyphens, and an optional port, as the sign-in and Graph addresses take them.
bool IsHostName(const std::string& text) {
  const size_t colon = text.find(':');
  const std::string host = text.substr(0, colon);
  if (colon != std::string::npos) {
    const std::string port = text.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
    if (const unsigned long number = std::stoul(port); number == 0 || number > 65535) return false;
  }
  if (host.empty() || host.size() > 253) return false;
  size_t start = 0;
  while (start <= host.size()) {
    const size_t end = std::min(host.find('.', start), host.size());
    const std::string label = host.substr(start, end - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
    for (const char c : label)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') return false;
    start = end + 1;
  }
  return true;
}

int CloudOf(const M365Settings& settings) {
  for (int i = 0; i < kCloudCount; ++i) {
    if (settings.authorityHost == kClouds[i].authority && settings.graphHost == kClouds[i].graph) return i;
  }
  return kCloudCount;
}

// The common file dialog; a save asks before it overwrites, an open wants an
// existing file. False when the administrator cancels.
bool AskForFile(HWND owner, bool save, const wchar_t* filter, const wchar_t* title, std::wstring& path) {
  wchar_t name[MAX_PATH] = L"";
  lstrcpynW(name, path.c_str(), MAX_PATH);
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter;
  dialog.lpstrFile = name;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = title;
  dialog.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  if (save) dialog.lpstrDefExt = L"cer";
  if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog))) return false;
  path = name;
  return true;
}

// A file that could not be written whole is removed again.
DWORD WriteWholeFile(const wchar_t* path, const std::string& bytes) {
  DWORD error = ERROR_SUCCESS;
  {
    const unique_hfile file(
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
      error = GetLastError();
    else if (written != bytes.size())
      error = ERROR_WRITE_FAULT;
  }
  if (error) DeleteFileW(path);
  return error;
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

CTransportPage::~CTransportPage() {
  WipeText(m_strSecret);
  WipeText(m_strPfxPassword);
}

// The field shows what it shows for a secret stored before the program
// started: nothing, which keeps the stored one.
void CTransportPage::ForgetTypedSecret() {
  WipeText(m_strSecret);
  if (Window()) PushText(IDC_M365_SECRET, "");
}

void CTransportPage::DoDataExchange(DataExchange& exchange) {
  BOOL microsoft365 = m_choice.microsoft365;
  BOOL google = m_choice.google && !m_choice.microsoft365;
  exchange.Check(IDC_TRANSPORT_M365, microsoft365);
  exchange.Check(IDC_TRANSPORT_GOOGLE, google);
  m_choice.microsoft365 = microsoft365 != FALSE;
  m_choice.google = google != FALSE;
  if (!exchange.FromControls())
    CheckDlgButton(Window(), IDC_TRANSPORT_SMTP, microsoft365 || google ? BST_UNCHECKED : BST_CHECKED);
  exchange.Text(IDC_M365_TENANT, m_choice.settings.tenantId, kTextChars);
  exchange.Text(IDC_M365_CLIENT, m_choice.settings.clientId, kTextChars);
  exchange.Text(IDC_M365_SECRET, m_strSecret, kTextChars);
  exchange.Text(IDC_M365_PFX_PASSWORD, m_strPfxPassword, kTextChars);
  exchange.Text(IDC_M365_MAILBOX, m_choice.settings.mailbox, kTextChars);
  exchange.Text(IDC_GOOGLE_MAILBOX, m_choice.googleSettings.mailbox, kTextChars);
  ExchangeCloud(exchange);
  if (!exchange.FromControls()) {
    ShowCertificate();
    ShowGoogleAccount();
    ShowChosenTransport();
  }
}

// The host fields always show the hosts in use; they take typed hosts only
// with the fourth entry chosen.
void CTransportPage::ExchangeCloud(DataExchange& exchange) {
  const HWND combo = GetDlgItem(Window(), IDC_M365_CLOUD);
  if (exchange.FromControls()) {
    exchange.Text(IDC_M365_AUTHORITY_HOST, m_choice.settings.authorityHost, kTextChars);
    exchange.Text(IDC_M365_GRAPH_HOST, m_choice.settings.graphHost, kTextChars);
    m_choice.settings.authorityHost = TrimBlanks(m_choice.settings.authorityHost);
    m_choice.settings.graphHost = TrimBlanks(m_choice.settings.graphHost);
    return;
  }
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const Cloud& cloud : kClouds) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(cloud.name));
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Hosts typed in"));
  const int current = CloudOf(m_choice.settings);
  SendMessageA(combo, CB_SETCURSEL, current, 0);
  SetDlgItemTextA(Window(), IDC_M365_AUTHORITY_HOST, m_choice.settings.authorityHost.c_str());
  SetDlgItemTextA(Window(), IDC_M365_GRAPH_HOST, m_choice.settings.graphHost.c_str());
}

// A listed cloud puts its hosts into the fields.
void CTransportPage::ShowCloudHosts(int cloud) const {
  if (cloud >= 0 && cloud < kCloudCount) {
    SetDlgItemTextA(Window(), IDC_M365_AUTHORITY_HOST, kClouds[cloud].authority);
    SetDlgItemTextA(Window(), IDC_M365_GRAPH_HOST, kClouds[cloud].graph);
  }
  ShowChosenTransport();
}

void CTransportPage::OnInitDialog() {
  AddTooltip(IDC_TEST_MAIL, IDS_TIP_TEST_MAIL);
  AddTooltip(IDC_M365_SECRET, IDS_TIP_M365_SECRET);
  AddTooltip(IDC_M365_IMPORT, IDS_TIP_M365_IMPORT);
  AddTooltip(IDC_M365_MAILBOX, IDS_TIP_M365_MAILBOX);
  AddTooltip(IDC_M365_CREATE, IDS_TIP_M365_CREATE);
  AddTooltip(IDC_M365_AUTHORITY_HOST, IDS_TIP_M365_HOSTS);
  AddTooltip(IDC_M365_GRAPH_HOST, IDS_TIP_M365_HOSTS);
  AddTooltip(IDC_GOOGLE_IMPORT, IDS_TIP_GOOGLE_IMPORT);
  AddTooltip(IDC_GOOGLE_MAILBOX, IDS_TIP_GOOGLE_MAILBOX);
}

// Google's group takes the place of Microsoft's when chosen; Microsoft's
// stays in view, disabled, while the mail server is the transport.
void CTransportPage::ShowChosenTransport() const {
  const bool google = IsDlgButtonChecked(Window(), IDC_TRANSPORT_GOOGLE) == BST_CHECKED;
  const bool microsoft365 = IsDlgButtonChecked(Window(), IDC_TRANSPORT_M365) == BST_CHECKED;
  for (const int control : kGoogleControls) ShowWindow(GetDlgItem(Window(), control), google ? SW_SHOW : SW_HIDE);
  for (const int control : kMicrosoft365Controls) {
    const HWND window = GetDlgItem(Window(), control);
    ShowWindow(window, google ? SW_HIDE : SW_SHOW);
    EnableWindow(window, microsoft365);
  }
  const bool typedHosts =
      SendDlgItemMessageA(Window(), IDC_M365_CLOUD, CB_GETCURSEL, 0, 0) == kCloudCount && microsoft365;
  EnableWindow(GetDlgItem(Window(), IDC_M365_AUTHORITY_HOST), typedHosts);
  EnableWindow(GetDlgItem(Window(), IDC_M365_GRAPH_HOST), typedHosts);
}

// A stored certificate near its end says so each time the page shows it.
void CTransportPage::ShowCertificate() const {
  long long daysLeft = 0;
  std::string text =
      m_choice.settings.certificate.empty() ? "(none)" : DescribeCertificate(m_choice.settings.certificate, daysLeft);
  if (!m_choice.settings.certificate.empty() && daysLeft < 30)
    text += daysLeft < 0 ? " (expired)" : " (within 30 days)";
  SetDlgItemTextA(Window(), IDC_M365_CERT_INFO, text.c_str());
}

void CTransportPage::ShowGoogleAccount() const {
  const std::string& account = m_choice.googleSettings.clientEmail;
  SetDlgItemTextA(Window(), IDC_GOOGLE_ACCOUNT, account.empty() ? "(none)" : account.c_str());
}

// The tenant, the application and the hosts are checked here; Microsoft
// (or Google) checks the rest when the first fax or Test Mail asks for a token.
bool CTransportPage::Validate() {
  if (!UpdateData(true)) return false;
  if (m_choice.google && m_choice.googleSettings.privateKeyBlob.empty()) {
    ShowMessage(Window(), IDS_GOOGLE_NO_KEY, MB_ICONERROR);
    return false;
  }
  if (!m_choice.microsoft365) return true;
  const M365Settings& settings = m_choice.settings;
  UINT problem = 0;
  if (!IsGuid(settings.tenantId) && !IsDomainName(settings.tenantId))
    problem = IDS_M365_TENANT_INVALID;
  else if (!IsGuid(settings.clientId))
    problem = IDS_M365_CLIENT_INVALID;
  else if (settings.certificate.empty() && settings.clientSecretBlob.empty() && m_strSecret.empty())
    problem = IDS_M365_NO_CREDENTIAL;
  else if (!IsHostName(settings.authorityHost) || !IsHostName(settings.graphHost))
    problem = IDS_M365_HOST_INVALID;
  if (problem == 0) return true;
  ShowMessage(Window(), problem, MB_ICONERROR);
  return false;
}

void CTransportPage::ImportCertificate() {
  if (!UpdateData(true)) return;
  std::wstring path;
  if (!AskForFile(Window(), false, L"Certificate and key (*.pfx;*.p12;*.pem)\0*.pfx;*.p12;*.pem\0All files\0*.*\0",
                  nullptr, path))
    return;
  ImportedCredential credential;
  std::wstring password = ToWide(m_strPfxPassword);
  const CloudOutcome outcome = ImportCredentialFile(path, password, credential);
  WipeText(password);
  if (FAILED(outcome.result)) {
    ShowMessage(Window(), outcome.text, MB_ICONERROR);
    return;
  }
  KeepCertificate(credential);
  long long daysLeft = 0;
  DescribeCertificate(credential.certificate, daysLeft);
  if (daysLeft < 30) ShowMessage(Window(), IDS_M365_EXPIRES_SOON, MB_ICONWARNING);
}

// Kept in memory, the key protected, until Apply stores it.
void CTransportPage::KeepCertificate(const ImportedCredential& credential) {
  m_choice.settings.certificate = credential.certificate;
  m_choice.settings.certificateKeyBlob = credential.protectedKey;
  m_choice.newCertificate = true;
  SetModified();
  ShowCertificate();
}

// The public part is saved first: a certificate that cannot be uploaded is
// of no use, so nothing is kept when the file cannot be written.
void CTransportPage::CreateCertificate() {
  if (!UpdateData(true)) return;
  std::wstring path = L"CorviskFSP.cer";
  if (!AskForFile(Window(), true, L"Certificate (*.cer)\0*.cer\0", L"Save the certificate to upload", path)) return;
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = L"";
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  GetComputerNameW(computer, &size);
  ImportedCredential credential;
  CloudOutcome outcome;
  {
    const WaitCursor wait;
    outcome =
        CreateSelfSignedCredential(std::wstring(L"CorviskFSP on ") + computer, kCreatedCertificateDays, credential);
  }
  if (FAILED(outcome.result)) {
    ShowMessage(Window(), outcome.text, MB_ICONERROR);
    return;
  }
  if (const DWORD error = WriteWholeFile(path.c_str(), credential.certificate)) {
    ShowMessage(Window(), "The certificate could not be saved as " + ToAnsi(path) + ": " + SystemMessageText(error),
                MB_ICONERROR);
    return;
  }
  KeepCertificate(credential);
  ShowMessage(Window(),
              "A new key and certificate are made. Upload " + ToAnsi(path) +
                  " to the application registration (Certificates & secrets), then press Apply to keep them.",
              MB_ICONINFORMATION);
}

// The key is read now and kept in memory, protected, until Apply stores it.
void CTransportPage::ImportGoogleKey() {
  if (!UpdateData(true)) return;
  std::wstring path;
  if (!AskForFile(Window(), false, L"Google key file (*.json)\0*.json\0All files\0*.*\0", L"Import Google key file",
                  path))
    return;
  ImportedGoogleKey key;
  const CloudOutcome outcome = ImportGoogleKeyFile(path, key);
  if (FAILED(outcome.result)) {
    ShowMessage(Window(), outcome.text, MB_ICONERROR);
    return;
  }
  GoogleSettings& settings = m_choice.googleSettings;
  settings.clientEmail = key.clientEmail;
  settings.tokenUri = key.tokenUri;
  settings.privateKeyBlob = key.protectedKey;
  m_choice.newGoogleKey = true;
  SetModified();
  ShowGoogleAccount();
  ShowMessage(Window(), "The service account " + key.clientEmail + " is imported.\r\n" + kDeleteGoogleKeyFileAdvice,
              MB_ICONINFORMATION);
}

void CTransportPage::OnCommand(WORD control, WORD code) {
  switch (control) {
    case IDC_TRANSPORT_SMTP:
    case IDC_TRANSPORT_M365:
    case IDC_TRANSPORT_GOOGLE:
      ShowChosenTransport();
      SetModified();
      break;
    case IDC_M365_IMPORT:
      ImportCertificate();
      break;
    case IDC_M365_CREATE:
      CreateCertificate();
      break;
    case IDC_GOOGLE_IMPORT:
      ImportGoogleKey();
      break;
    case IDC_TEST_MAIL:
      if (Validate()) m_pApp->SendTestMail();
      break;
    case IDC_M365_CLOUD:
      if (code != CBN_SELCHANGE) break;
      ShowCloudHosts(static_cast<int>(SendDlgItemMessageA(Window(), IDC_M365_CLOUD, CB_GETCURSEL, 0, 0)));
      SetModified();
      break;
    default:
      MarkModifiedOn(control, code,
                     {IDC_M365_TENANT, IDC_M365_CLIENT, IDC_M365_SECRET, IDC_M365_MAILBOX, IDC_M365_AUTHORITY_HOST,
                      IDC_M365_GRAPH_HOST, IDC_GOOGLE_MAILBOX});
  }
}

}  // namespace corvisk
