#pragma once
// Values of the settings key as the installation script carries them in the
// action data of a deferred or rollback action: from the immediate action
// that reads them, as the administrator who installs, to the actions that
// write them, as LocalSystem. A secret that the key keeps in clear travels
// sealed, protected with DPAPI for the machine, so that neither the script
// nor a log ever holds it in clear and LocalSystem can still open it.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "settings/RegistryText.h"

namespace corvisk {

struct ScriptedValue {
  enum class Form {
    Plain,   // the value as it is written
    Sealed,  // bytes: the DPAPI blob of the bytes that are written
    Absent,  // the value is deleted; only its name counts
  };
  RegistryValue value;
  Form form = Form::Plain;
};
using ScriptedValues = std::vector<ScriptedValue>;

// Turns a plain value into a sealed one, wiping its clear bytes. Returns
// ERROR_SUCCESS or the system's error.
DWORD SealValue(ScriptedValue& value);

// The values as one ASCII text: "NAME=P1:BASE64;" for a plain REG_SZ (the
// letter gives the form, P, S or A, the number the registry type), "NAME=A;"
// for an absent one.
std::string EncodeScriptedValues(const ScriptedValues& values);
// False, with values cleared, for a text that EncodeScriptedValues did not
// make.
bool DecodeScriptedValues(std::string_view text, ScriptedValues& values);

// The named value as the key, opened for querying values, holds it now:
// Absent when it has none, sealed when seal is true. Returns the error,
// ERROR_SUCCESS when read.
LONG ReadScriptedValue(HKEY key, const std::string& name, bool seal, ScriptedValue& value);

// Writes every value into the key, opened for setting values: a sealed one
// opened first, an absent one deleted. Goes on past a failure and returns
// the first error, ERROR_SUCCESS when all are written.
LONG WriteScriptedValues(HKEY key, const ScriptedValues& values);

}  // namespace corvisk
