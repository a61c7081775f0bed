#include "cpl/InstallerWait.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <memory>
#include <optional>

#include "win32/Handles.h"

namespace corvisk {
namespace {

// rundll32.exe shell32.dll,Control_RunDLL CorviskFSPCPL.cpl <installer id> _CA_
constexpr int kInstallerArgumentCount = 5;
constexpr wchar_t kInstallerMarker[] = L"_CA_";

constexpr int kDialogAppearAttempts = 30;
constexpr DWORD kDialogAppearIntervalMs = 100;
constexpr DWORD kDialogCloseIntervalMs = 200;

struct LocalFreeArgs {
  void operator()(wchar_t** args) const { LocalFree(args); }
};

// The installer's process id when our process was started for it.
std::optional<DWORD> InstallerProcessId() {
  int count = 0;
  const std::unique_ptr<wchar_t*, LocalFreeArgs> args(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!args || count != kInstallerArgumentCount || std::wcscmp(args.get()[4], kInstallerMarker) != 0)
    return std::nullopt;
  return static_cast<DWORD>(std::wcstoul(args.get()[3], nullptr, 10));
}

// An id that cannot be opened (the installer has ended, or no access) is
// not waited for.
void WaitForProcess(DWORD id) {
  const unique_handle process(OpenProcess(SYNCHRONIZE, FALSE, id));
  if (process) WaitForSingleObject(process.get(), INFINITE);
}

bool InstallerDialogShown() { return FindWindowW(L"MsiDialogCloseClass", L"CorviskFSP") != nullptr; }

// The installer's final dialog may show only after its process ended: give
// it a moment to appear, then wait for it to go.
void WaitForInstallerDialog() {
  for (int attempt = 0; attempt < kDialogAppearAttempts; ++attempt) {
    if (InstallerDialogShown()) {
      while (InstallerDialogShown()) Sleep(kDialogCloseIntervalMs);
      return;
    }
    Sleep(kDialogAppearIntervalMs);
  }
}

}  // namespace

void WaitForInstaller() noexcept {
  const std::optional<DWORD> installer = InstallerProcessId();
  if (!installer) return;
  WaitForProcess(*installer);
  WaitForInstallerDialog();
}

}  // namespace corvisk
