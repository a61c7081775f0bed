#include "cloudmail/GoogleKeyImport.h"

#include "cloudmail/CredentialFile.h"
#include "cloudmail/GoogleKey.h"
#include "cloudmail/ProtectedData.h"
#include "cloudmail/KeyFiles.h"
#include "common/SecureWipe.h"
#include "common/TextFormat.h"
#include "settings/RegistryText.h"

namespace corvisk {
namespace {

// Google's key files are about 2.3 KB.
constexpr CredentialFileKind kGoogleKeyFile = {"key file", 64 * 1024, "The file is too large to be a Google key file."};
// Google makes service account keys of 2048 bits.
constexpr unsigned kMinGoogleKeyBits = 2048;

CloudOutcome ProtectKey(const std::string& pkcs1, std::string& protectedKey) {
  if (const unsigned bits = RsaPrivateKeyBits(pkcs1); bits < kMinGoogleKeyBits)
    return CloudFailure(
        FormatText("The key has %u bits; a Google service account key has at least %u.", bits, kMinGoogleKeyBits));
  if (const DWORD error = ProtectSecret(pkcs1, protectedKey))
    return CloudFailure(FormatText("The key could not be protected (error %lu).", error), HRESULT_FROM_WIN32(error));
  return {};
}

}  // namespace

CloudOutcome ImportGoogleKeyFile(const std::wstring& path, ImportedGoogleKey& key) {
  key = ImportedGoogleKey();
  std::string text;
  CloudOutcome outcome = ReadCredentialFile(path, kGoogleKeyFile, text);
  GoogleServiceAccountKey read;
  std::string problem;
  // What was read of a file that failed part way is wiped too.
  if (SUCCEEDED(outcome.result)) problem = ReadGoogleKeyFile(text, read);
  WipeText(text);
  if (FAILED(outcome.result)) return outcome;
  if (!problem.empty()) return CloudFailure(problem, HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
  outcome = ProtectKey(read.rsaPrivateKey, key.protectedKey);
  WipeText(read.rsaPrivateKey);
  if (FAILED(outcome.result)) return outcome;
  key.clientEmail = read.clientEmail;
  key.tokenUri = read.tokenUri;
  return {};
}

std::vector<RegistryValue> GoogleKeyValues(const ImportedGoogleKey& key) {
  return {TextValue("GoogleClientEmail", key.clientEmail), TextValue("GoogleTokenUri", key.tokenUri),
          BinaryValue("GooglePrivateKey", key.protectedKey)};
}

LONG StoreGoogleKey(HKEY settingsKey, const ImportedGoogleKey& key) {
  return WriteRegistryValues(settingsKey, GoogleKeyValues(key));
}

}  // namespace corvisk
