// Stores a Microsoft 365 credential in the settings key of the prefix, as the
// configuration program does, for the demo and the benchmark:
//   m365credential secret VALUE
//   m365credential pem FILE            (certificate and key, PEM)
//   m365credential pfx FILE PASSWORD
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "cloudmail/CertificateImport.h"
#include "cloudmail/ProtectedData.h"
#include "settings/Settings.h"
#include "win32/AnsiText.h"

using namespace corvisk;

namespace {

bool WriteBinary(const char* name, const std::string& bytes) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
    return false;
  const LONG error = RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                                    static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  return error == ERROR_SUCCESS;
}

std::string ReadFileBytes(const wchar_t* path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int StoreCertificate(const CloudOutcome& outcome, const ImportedCredential& credential) {
  if (FAILED(outcome.result)) {
    std::fprintf(stderr, "m365credential: %s\n", outcome.text.c_str());
    return 1;
  }
  return WriteBinary("M365Certificate", credential.certificate) &&
                 WriteBinary("M365CertificateKey", credential.protectedKey)
             ? 0
             : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring kind = argc > 2 ? argv[1] : L"";
  ImportedCredential credential;
  if (kind == L"secret" && argc == 3) {
    std::string blob;
    return ProtectSecret(ToUtf8(argv[2]), blob) == 0 && WriteBinary("M365ClientSecret", blob) ? 0 : 1;
  }
  if (kind == L"pem" && argc == 3)
    return StoreCertificate(ImportPemCredential(ReadFileBytes(argv[2]), credential), credential);
  if (kind == L"pfx" && argc == 4)
    return StoreCertificate(ImportPfxCredential(ReadFileBytes(argv[2]), argv[3], credential), credential);
  std::fputs("usage: m365credential secret VALUE | pem FILE | pfx FILE PASSWORD\n", stderr);
  return 2;
}
