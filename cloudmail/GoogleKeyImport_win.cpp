#include "cloudmail/GoogleKeyImport.h"

#include "cloudmail/GoogleKey.h"
#include "cloudmail/ProtectedData.h"
#include "cloudmail/KeyFiles.h"
#include "common/TextFormat.h"
#include "settings/RegistryText.h"
#include "win32/AnsiText.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"

namespace corvisk {
namespace {

// Google's key files are about 2.3 KB.
constexpr DWORD kMaxKeyFileBytes = 64 * 1024;
// Google makes service account keys of 2048 bits.
constexpr unsigned kMinGoogleKeyBits = 2048;

CloudOutcome ReadFailure(DWORD error, const std::wstring& path) {
  return CloudFailure(
      "The key file " + ToAnsi(path) + " could not be read: " + StandardMessage(HRESULT_FROM_WIN32(error)),
      HRESULT_FROM_WIN32(error));
}

CloudOutcome ReadKeyFile(const std::wstring& path, std::string& text) {
  const unique_hfile file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return ReadFailure(GetLastError(), path);
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.get(), &size)) return ReadFailure(GetLastError(), path);
  if (size.QuadPart > kMaxKeyFileBytes) return CloudFailure("The file is too large to be a Google key file.");
  text.assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr))
    return ReadFailure(GetLastError(), path);
  text.resize(got);
  return {};
}

CloudOutcome ProtectKey(const std::string& pkcs1, std::string& protectedKey) {
  if (const unsigned bits = RsaPrivateKeyBits(pkcs1); bits < kMinGoogleKeyBits)
    return CloudFailure(
        FormatText("The key has %u bits; a Google service account key has at least %u.", bits, kMinGoogleKeyBits));
  if (const DWORD error = ProtectSecret(pkcs1, protectedKey))
    return CloudFailure(FormatText("The key could not be protected (error %lu).", error), HRESULT_FROM_WIN32(error));
  return {};
}

LONG WriteBinary(HKEY key, const char* name, const std::string& bytes) {
  return RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                        static_cast<DWORD>(bytes.size()));
}

}  // namespace

CloudOutcome ImportGoogleKeyFile(const std::wstring& path, ImportedGoogleKey& key) {
  key = ImportedGoogleKey();
  std::string text;
  CloudOutcome outcome = ReadKeyFile(path, text);
  if (FAILED(outcome.result)) return outcome;
  GoogleServiceAccountKey read;
  const std::string problem = ReadGoogleKeyFile(text, read);
  SecureZeroMemory(text.data(), text.size());
  if (!problem.empty()) return CloudFailure(problem, HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
  outcome = ProtectKey(read.rsaPrivateKey, key.protectedKey);
  SecureZeroMemory(read.rsaPrivateKey.data(), read.rsaPrivateKey.size());
  if (FAILED(outcome.result)) return outcome;
  key.clientEmail = read.clientEmail;
  key.tokenUri = read.tokenUri;
  return {};
}

LONG StoreGoogleKey(HKEY settingsKey, const ImportedGoogleKey& key) {
  LONG error = WriteRegistryText(settingsKey, "GoogleClientEmail", key.clientEmail);
  if (error == ERROR_SUCCESS) error = WriteRegistryText(settingsKey, "GoogleTokenUri", key.tokenUri);
  if (error == ERROR_SUCCESS) error = WriteBinary(settingsKey, "GooglePrivateKey", key.protectedKey);
  return error;
}

}  // namespace corvisk
