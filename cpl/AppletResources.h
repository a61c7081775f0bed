#pragma once
// Resource ids the control panel asks for through CPL_INQUIRE.
#define IDI_APPLET 1001
#define IDS_APPLET_DESCRIPTION 1
#define IDS_APPLET_NAME 2
