#pragma once
// The settings a silent installation gives as properties. The immediate part
// of the installation gathers the given ones into one text, the action data
// of the deferred part, which writes them into the settings key.
#include <windows.h>

#include <functional>
#include <string>

namespace corvisk {

// The given (non-empty) properties, each as "Value=LENGTH:TEXT" with the
// settings value it goes to, so that no text can be mistaken for a
// separator. Empty when none is given.
std::wstring GatherSilentSettings(const std::function<std::wstring(const wchar_t* property)>& readProperty);

// A line for the installer's log.
using SilentSettingsLog = std::function<void(const std::string& line)>;

// Writes every value of gathered text into the settings key: a client
// secret protected for the machine, and the Google key file or certificate
// file it names imported (saying in the log what became of it). Returns
// the first error, ERROR_INVALID_DATA for text that GatherSilentSettings did
// not make, ERROR_SUCCESS when all are written.
UINT WriteSilentSettings(const std::wstring& gathered, const SilentSettingsLog& log) noexcept;

}  // namespace corvisk
