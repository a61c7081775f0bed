#pragma once
// A Google service account's key file, imported once by the configuration
// program or a silent installation (so with crypt32 alone: the installer's
// custom action must load where CNG does not exist): the settings keep the account's e-mail,
// its token URI and its key protected with DPAPI in machine scope, never the
// file, which the administrator then deletes.
#include <windows.h>

#include <string>
#include <vector>

#include "cloudmail/CloudOutcome.h"
#include "settings/RegistryText.h"

namespace corvisk {

struct ImportedGoogleKey {
  std::string clientEmail;   // for "GoogleClientEmail"
  std::string tokenUri;      // for "GoogleTokenUri"
  std::string protectedKey;  // for "GooglePrivateKey": DPAPI blob of the PKCS #1 key
};

// What the administrator is told once the key is stored.
inline constexpr char kDeleteGoogleKeyFileAdvice[] =
    "The key is stored, protected for this machine. Delete the downloaded key file now: anyone who has it can send "
    "mail as the mailbox.";

// Reads, checks and protects the key file at path.
CloudOutcome ImportGoogleKeyFile(const std::wstring& path, ImportedGoogleKey& key);

// The three values of the settings key that keep the key.
std::vector<RegistryValue> GoogleKeyValues(const ImportedGoogleKey& key);
// Writes them into the settings key, opened for setting values.
LONG StoreGoogleKey(HKEY settingsKey, const ImportedGoogleKey& key);

}  // namespace corvisk
