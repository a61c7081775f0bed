#pragma once
// What the registration tests read and change in the shared Wine prefix: the
// keys self-registration writes, the "Fax" stand-in service and the winfax.dll
// stand-in in the system folder. Every change has its way back, and the
// fixtures take it, because other tests share the prefix.
#include <windows.h>

#include <optional>
#include <string>

namespace corvisk::test {

// A key of HKEY_LOCAL_MACHINE and the registry view it is read in: the
// caller's own (0), or the 64-bit one whoever asks (KEY_WOW64_64KEY).
struct MachineKey {
  const wchar_t* path;
  REGSAM view;
};

// The fax service runs as a 64-bit service on 64-bit Windows: it keeps its
// device providers in the 64-bit view, also when a 32-bit provider registers
// through the 32-bit client library. The provider's own keys are in its view.
inline constexpr MachineKey kFaxProviderKey{L"SOFTWARE\\Microsoft\\Fax\\Device Providers\\CorviskFSP", KEY_WOW64_64KEY};
inline constexpr MachineKey kEventSourceKey{L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Application\\CorviskFSP",
                                            0};
inline constexpr MachineKey kControlPanelKey{
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Extended Properties\\"
    L"{305CA226-D286-468e-B848-2B2E8E697B74} 2",
    0};
inline constexpr wchar_t kAppletValue[] = L"%SystemRoot%\\system32\\CorviskFSPCPL.cpl";

// Values of HKEY_LOCAL_MACHINE keys; nothing when the key or value is missing.
bool KeyExists(const MachineKey& key);
std::optional<DWORD> ReadDword(const MachineKey& key, const wchar_t* name);
struct TextValue {
  DWORD type = REG_NONE;
  std::wstring text;
};
std::optional<TextValue> ReadText(const MachineKey& key, const wchar_t* name);

// Whether this test runs as a 32-bit process on 64-bit Windows (the x86
// tree's tests under Wine's WOW64).
bool RunsUnderWow64();

// Removes whatever registration of the provider is in the registry.
void RemoveRegistration();

// Runs a command line to its end with every standard handle on NUL and
// returns its exit code (~0 when it cannot start). For Windows programs such
// as regsvr32: the first one to need the desktop makes Wine start the desktop
// process with its standard error, which would then hold a capture pipe open
// for as long as the prefix lives.
unsigned long RunWithoutOutput(const std::wstring& commandLine);

// The "Fax" service of the service manager. Its resting state is the one
// testbed/register-standins leaves: present, stopped, started on demand.
namespace fax_service {
inline constexpr DWORD kMissing = 0;
// The current state (SERVICE_RUNNING, ...), or kMissing.
DWORD State();
// Starts it, with one argument when given, and waits until it runs.
bool Start(const wchar_t* argument = nullptr);
bool WaitForState(DWORD state);
// Asks it to stop and waits until it has.
bool Stop();
bool SetStartType(DWORD startType);
// Stops it and removes it from the service manager.
bool Delete();
// Brings back the resting state from any state a test left.
void Restore();
// Makes a service started with "refuse-stop" accept stop requests again.
bool AllowStop();
}  // namespace fax_service

// Takes the winfax.dll stand-in out of the system folder for its lifetime,
// optionally putting another file in its place.
class WinFaxSwap {
 public:
  explicit WinFaxSwap(const std::wstring& replacement = std::wstring());
  WinFaxSwap(const WinFaxSwap&) = delete;
  WinFaxSwap& operator=(const WinFaxSwap&) = delete;
  ~WinFaxSwap();
  bool Done() const { return done_; }

 private:
  bool done_ = false;
};

}  // namespace corvisk::test
