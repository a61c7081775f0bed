#include "config/EnvironmentChecks.h"

#include <shellapi.h>

#include "common/Product.h"
#include "config/MessageBoxes.h"
#include "config/Resource.h"
#include "faxsetup/FaxServiceSetup.h"
#include "win32/AnsiText.h"
#include "win32/DynamicCalls.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"

namespace corvisk {
namespace {

constexpr DWORD kQueryConfigBytes = 4096;
constexpr DWORD kRegServerWaitMs = 5000;

struct SiblingServer {
  const char* progId;
  const char* file;
  const char* startFailed;
  const char* notRegistered;
};

const SiblingServer kSuppEmail{
    "QuendrySuppEmail.SuppEmail", "\\QuendrySuppEmail.exe",
    "Failed to start QuendrySuppEmail -RegServer.\r\nThis service facilitates 'NTLM Authentication for "
    "Exchange'.\r\nPlease start command prompt as Administrator, navigate to Windows System directory and "
    "run\r\nQuendrySuppEmail.exe -RegServer\r\nto register this service",
    "QuendrySuppEmails is not registered.\r\nThis service facilitates 'NTLM Authentication for Exchange'.\r\nPlease "
    "start command prompt as Administrator, navigate to Windows System directory and run\r\nQuendrySuppEmail.exe "
    "-RegServer\r\nto register this service"};

const SiblingServer kSuppDetails{
    "QuendrySuppDetails.SuppDetails", "\\QuendrySuppDetails.exe",
    "Failed to start QuendrySuppDetails -RegServer.\r\nPlease start command prompt as Administrator, navigate to "
    "Windows System directory and run\r\nQuendrySuppDetails.exe -RegServer\r\nto register this service",
    "QuendrySuppDetails is not registered.\r\nPlease start command prompt as Administrator, navigate to Windows "
    "System directory and run\r\nQuendrySuppDetails.exe -RegServer\r\nto register this service"};

void ReportManagerFailure(HWND owner, DWORD error) {
  ShowMessage(owner,
              "Failed in OpenSCManager(): " + SystemMessageText(error) + "\r\n" + LoadText(IDS_NO_ADMIN_RIGHTS) +
                  "\r\n" + LoadText(IDS_ONLY_ADMIN_CONFIGURES) + kProductName,
              MB_ICONERROR);
}

std::string ModemAppletOffer() {
  return kProductName + LoadText(IDS_REQUIRES_FAX_SERVICE) + "\r\n" + LoadText(IDS_FAX_SERVICE_WITH_MODEM) + "\r\n" +
         LoadText(IDS_START_MODEM_APPLET) + kProductName + LoadText(IDS_MODEM_NOT_USED) +
         LoadText(IDS_CONFIGURE_COM_PORT) + "\r\n" + LoadText(IDS_MODEM_OR_CANCEL);
}

std::string AddRemoveProgramsOffer() {
  return kProductName + LoadText(IDS_REQUIRES_FAX_SERVICE_AGAIN) + "\r\n" + LoadText(IDS_START_APPWIZ) + "\r\n" +
         LoadText(IDS_APPWIZ_OR_CANCEL);
}

// Whatever the answer, the apply ends: the service is not there yet.
void OfferFaxService(HWND owner, BOOL legacyFax) {
  const std::string offer = legacyFax ? ModemAppletOffer() : AddRemoveProgramsOffer();
  if (ShowMessage(owner, offer, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
  const std::string folder = GetSystemFolder(FALSE);
  ShellExecuteA(owner, nullptr, "control.exe", legacyFax ? "modem.cpl" : "appwiz.cpl,@0,2", folder.c_str(),
                SW_SHOWNORMAL);
}

// A start type that cannot be read counts as not disabled.
bool IsDisabled(SC_HANDLE service) {
  std::string buffer(kQueryConfigBytes, '\0');
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
  DWORD needed = 0;
  if (!QueryServiceConfigA(service, config, kQueryConfigBytes, &needed)) {
    OutputDebugStringA("CorviskFSP failed in QueryServiceConfig()\n");
    return false;
  }
  return config->dwStartType == SERVICE_DISABLED;
}

bool ProgIdResolves(const char* progId) {
  CLSID clsid;
  return SUCCEEDED(CLSIDFromProgID(ToWide(progId).c_str(), &clsid));
}

// Runs "<server> -RegServer" from the system folder and waits a while for it.
bool StartRegServer(HWND owner, const std::string& path, const std::string& folder) {
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = owner;
  info.lpFile = path.c_str();
  info.lpParameters = "-RegServer";
  info.lpDirectory = folder.c_str();
  info.nShow = SW_HIDE;
  if (!ShellExecuteExA(&info)) return false;
  const unique_handle process(info.hProcess);
  if (process) WaitForSingleObject(process.get(), kRegServerWaitMs);
  return true;
}

void EnsureRegistered(HWND owner, const std::string& folder, const SiblingServer& server) {
  if (ProgIdResolves(server.progId)) return;
  const std::string path = folder + server.file;
  if (!StartRegServer(owner, path, folder))
    MessageBoxA(owner, server.startFailed, path.c_str(), MB_ICONERROR);
  else if (!ProgIdResolves(server.progId))
    ShowMessage(owner, server.notRegistered, MB_ICONERROR);
}

void ReportRegistration(HWND owner, const ProviderRegistration& registration) {
  if (!registration.bound) {
    ShowMessage(owner,
                LoadText(IDS_REGISTER_PROVIDER_EXCEPTION) + kProductName + LoadText(IDS_FAX_SERVICE_NOT_INSTALLED) +
                    "\r\n" + LoadText(IDS_MIGHT_NOT_USE_AGAIN) + kProductName,
                MB_ICONERROR);
  } else if (registration.error == ERROR_SUCCESS || registration.error == ERROR_ALREADY_EXISTS) {
    StopFaxService();
  } else {
    ShowMessage(owner,
                LoadText(IDS_REGISTER_PROVIDER_FAILED) + SystemMessageText(registration.error) + "\r\n" +
                    LoadText(IDS_MIGHT_NOT_USE) + kProductName,
                MB_ICONERROR);
  }
}

}  // namespace

BOOL CheckFaxService(HWND owner, BOOL legacyFax) {
  unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) {
    ReportManagerFailure(owner, GetLastError());
    return TRUE;
  }
  const unique_schandle service(OpenServiceA(manager.get(), "Fax", SERVICE_QUERY_CONFIG));
  manager.reset();
  if (!service) {
    OutputDebugStringA("CorviskFSPCPL.cpl - Failed to open Fax service\n");
    OfferFaxService(owner, legacyFax);
    return FALSE;
  }
  if (!IsDisabled(service.get())) return TRUE;
  ShowMessage(owner, "Windows FAX Service is disabled. It is required to enable Fax Service before proceeding",
              MB_OK | MB_ICONQUESTION);
  return FALSE;
}

void RegisterSiblingServers(HWND owner, const std::string& systemFolder, BOOL server) {
  EnsureRegistered(owner, systemFolder, kSuppEmail);
  if (server) EnsureRegistered(owner, systemFolder, kSuppDetails);
}

void RegisterProvider(HWND owner, const std::string& systemFolder, BOOL serviceAccountNotice) {
  const std::wstring path = ToWide(systemFolder + "\\" + "CorviskFSP.dll");
  ReportRegistration(owner, RegisterProviderWithFaxService(path.c_str()));
  if (!serviceAccountNotice) return;
  ShowMessage(owner,
              "To utilise QuendrySuppDetails service to be sensitive to individual NotifyMe email addresses that might "
              "be different to the default NotifyMe email address, configure the service to run as a principal that "
              "has rights to access Fax Service, e.g. Administrator",
              MB_OK);
}

BOOL StopFaxService() {
  switch (RequestFaxServiceStop().outcome) {
    case FaxServiceStop::Requested:
      return TRUE;
    case FaxServiceStop::ManagerNotOpened:
      OutputDebugStringA("StopFaxService() - Failed to open service control manager\n");
      return FALSE;
    case FaxServiceStop::ServiceNotOpened:
      OutputDebugStringA("StopFaxService() - Failed to open Fax service\n");
      return FALSE;
    default:
      OutputDebugStringA("StopFaxService() - Failed to stop Fax service\n");
      return FALSE;
  }
}

std::string GetSystemFolder(BOOL use32Bit) {
  char folder[MAX_PATH + 1] = "";
  UINT length = 0;
  if (!use32Bit) {
    length = GetSystemDirectoryA(folder, sizeof folder);
  } else if (const auto query = BindKernel32Calls().GetSystemWow64DirectoryA) {
    length = query(folder, sizeof folder);
  }
  return length < sizeof folder ? std::string(folder, length) : std::string();
}

}  // namespace corvisk
