#pragma once
// The settings that the configuration program writes to the registry and the
// provider reads at every send, and the text forms of their values. No
// Windows header: the parsing is tested natively.
#include <optional>
#include <string>
#include <string_view>

namespace corvisk {

// Under HKEY_LOCAL_MACHINE; created by the installer, never by either program.
inline constexpr char kSettingsKeyPath[] = "SOFTWARE\\Mervale\\CorviskFSP";

inline constexpr int kDefaultSmtpPort = 2525;
inline constexpr int kDefaultSmtpTimeout = 10;

// The SMTP server text (exact, case-sensitive) that hands the message to the
// local SMTP service's pickup folder instead of a server.
inline constexpr char kLocalPickupServer[] = "<local>";
inline bool IsLocalPickup(std::string_view smtpServer) { return smtpServer == kLocalPickupServer; }

std::string GatewayDomain();
std::string BuiltInSmtpHost();

// What one send takes from the settings key.
struct ProviderSettings {
  std::string smtpServer = BuiltInSmtpHost();  // "<local>": the local pickup folder
  int smtpPort = kDefaultSmtpPort;
  int smtpTimeout = kDefaultSmtpTimeout;  // seconds
  std::string smtpUserName;
  std::string smtpPassword;  // decoded
  std::string notifyAddress;
  std::string gatewayPassword;
  bool ntlmAuthentication = false;
  bool useSsl = false;
  std::string preprocessCommand;
  std::string internationalPrefix;
  std::string mailTransport;  // empty or "SMTP": CDO or QuendrySuppEmail
};

// What the configuration program loads, edits and saves.
struct ConfigSettings {
  std::string smtpServer = BuiltInSmtpHost();
  int smtpPort = kDefaultSmtpPort;
  int smtpTimeout = kDefaultSmtpTimeout;
  std::string smtpUserName;
  std::string smtpPassword;  // plain text
  std::string notifyAddress;
  std::string gatewayPassword;
  bool debugOutput = false;
  bool ntlmAuthentication = false;
  bool useSsl = false;
  // Only shown, never saved; nullopt when the value is absent.
  std::optional<std::string> preprocessCommand;
  std::optional<std::string> internationalPrefix;
};

bool IsFlagOn(std::string_view text);
const char* FlagText(bool on);
int ParseNumber(std::string_view text, int fallback);
std::string TrimBlanks(std::string_view text);

}  // namespace corvisk
