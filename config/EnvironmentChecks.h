#pragma once
// The checks that start every apply run: the fax service is there and not
// disabled, the two sibling COM servers are registered, and the provider is
// registered with the fax service once per program run.
#include <windows.h>

#include <string>

namespace corvisk {

// FALSE when the fax service is missing or disabled: the apply ends there.
// The user has been told, and offered the platform's way to get the service.
BOOL CheckFaxService(HWND owner, BOOL legacyFax);
// Registers QuendrySuppEmail, and QuendrySuppDetails on server editions,
// when their ProgIDs do not resolve; failures are reported, not fatal.
void RegisterSiblingServers(HWND owner, const std::string& systemFolder, BOOL server);
// Registers the provider's DLL from the system folder with the fax service
// and reports the outcome.
void RegisterProvider(HWND owner, const std::string& systemFolder, BOOL serviceAccountNotice);
// The configuration program's own stop request, with its own trace.
BOOL StopFaxService();
// The system folder, or with use32Bit the 32-bit system folder of a 64-bit
// system (empty where the system has none).
std::string GetSystemFolder(BOOL use32Bit);

}  // namespace corvisk
