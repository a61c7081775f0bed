#pragma once
// The settings key in the registry: the provider's read at every send, and
// the configuration program's load and save.
#include <windows.h>

#include <functional>
#include <string>

#include "settings/Settings.h"

namespace corvisk {

// Where a provider read stopped; each of these leaves the provider not
// configured.
enum class SettingsFailure {
  None,
  KeyNotOpened,
  NotifyAddressUnreadable,
  GatewayPasswordUnreadable,
};

struct SettingsReadResult {
  SettingsFailure failure = SettingsFailure::None;
  DWORD error = ERROR_SUCCESS;  // the registry's code for the failure
  bool Succeeded() const { return failure == SettingsFailure::None; }
};

// Receives the DebugOutput flag while the settings are being read.
using DebugOutputSink = std::function<void(bool on)>;

SettingsReadResult ReadProviderSettings(ProviderSettings& settings, const DebugOutputSink& applyDebugOutput);

ConfigSettings LoadConfigSettings();
bool SaveConfigSettings(const ConfigSettings& settings, std::string& failureText);

}  // namespace corvisk
