#pragma once
// The settings a silent installation gives as properties. The immediate part
// of the installation, which runs as the administrator who installs, reads
// them, imports the files they name (LocalSystem may not reach a mapped
// drive or a share the administrator can) and protects what is secret; the
// deferred part writes the values into the settings key, and its rollback
// part puts back the values they replaced.
#include <windows.h>

#include <functional>
#include <string>

namespace corvisk {

// A property's text; empty when it is not given.
using PropertyReader = std::function<std::wstring(const char* property)>;
// A line for the installer's log.
using SilentSettingsLog = std::function<void(const std::string& line)>;

// What the immediate part hands to the installation script: the action data
// of the deferred part and of its rollback part.
struct GatheredSettings {
  std::string write;    // the given settings' values; empty when none is given
  std::string restore;  // the values they replace, as the settings key holds them now
};

// Gathers the given (non-empty) properties: their texts, the values of a
// Google key file or certificate file they name, a secret protected for the
// machine; no secret in clear. Returns ERROR_SUCCESS, or
// ERROR_INSTALL_FAILURE with the reason in the log.
UINT GatherSilentSettings(const PropertyReader& readProperty, const SilentSettingsLog& log,
                          GatheredSettings& gathered) noexcept;

// Writes either text of GatheredSettings into the settings key. Returns the
// first error (and says so in the log), ERROR_INVALID_DATA for a text that
// GatherSilentSettings did not make, ERROR_SUCCESS when all are written.
UINT WriteSilentSettings(const std::string& data, const SilentSettingsLog& log) noexcept;

}  // namespace corvisk
