// Calls into SMTP discovery, the test-mail transports and the fax server
// integration. Those routines are not built yet: until they are, each call
// fails and says so, and nothing claims a success it did not have.
#include "config/ConfigApp.h"
#include "config/MessageBoxes.h"
#include "config/Pages.h"

namespace corvisk {
namespace {

void ReportMissing(HWND owner, const char* what) {
  ShowMessage(owner, std::string(what) + " is not available in this build", MB_ICONERROR);
}

}  // namespace

BOOL CConfigApp::DiscoverSmtpServer(std::string, std::string&) {
  ReportMissing(MainWindow(), "SMTP server discovery");
  return FALSE;
}

void CConfigApp::SendTestMail() { ReportMissing(MainWindow(), "The test mail"); }

BOOL CConfigApp::ReadBanner(BOOL&) { return FALSE; }

void CConfigApp::AdjustFaxServer() { ReportMissing(MainWindow(), "Fax server device adjustment"); }

}  // namespace corvisk
