// The applet's one export. The control panel loads the DLL, asks for one
// applet and its icon and texts, and sends CPL_DBLCLK when it is opened.
#include <windows.h>
#include <cpl.h>

#include "cpl/AppletResources.h"
#include "cpl/ConfigLauncher.h"
#include "cpl/InstallerWait.h"
#include "win32/ExceptionBoundary.h"

namespace corvisk {
namespace {

// Lives as long as the DLL. Constructed at load, before the control panel's
// first call, so a panel the installer opened shows nothing until the
// installer is gone.
class CControlPanelApp {
 public:
  CControlPanelApp() noexcept { WaitForInstaller(); }

  static LONG OnMessage(UINT message, LPARAM param2) {
    switch (message) {
      case CPL_INIT:
      case CPL_GETCOUNT:
        return 1;
      case CPL_INQUIRE:
        if (param2) Describe(*reinterpret_cast<CPLINFO*>(param2));
        return 0;
      case CPL_SELECT:
        return 1;
      case CPL_DBLCLK:
        return LaunchConfigProgram();
      case CPL_STOP:
        return 1;
      case CPL_EXIT:
      case CPL_NEWINQUIRE:
        return 0;
      // Opened with parameters, as the installer's command line opens us:
      // not handled here, so the control panel goes on to CPL_DBLCLK. To
      // claim them would leave the applet opened without anything started.
      case CPL_STARTWPARMSA:
      case CPL_STARTWPARMSW:
        return 0;
      default:
        return 1;
    }
  }

 private:
  static void Describe(CPLINFO& info) {
    info.idIcon = IDI_APPLET;
    info.idName = IDS_APPLET_NAME;
    info.idInfo = IDS_APPLET_DESCRIPTION;
    info.lData = 0;
  }
};

const CControlPanelApp theApp;

}  // namespace
}  // namespace corvisk

extern "C" LONG APIENTRY CPlApplet(HWND /*panel*/, UINT message, LPARAM /*param1*/, LPARAM param2) {
  return corvisk::ReturnOnException(LONG{-1}, [&] { return corvisk::CControlPanelApp::OnMessage(message, param2); });
}
