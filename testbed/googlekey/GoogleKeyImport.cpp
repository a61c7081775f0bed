// Imports a Google service account's key file into the settings key of the
// prefix, as the configuration program and a silent installation do, for the
// demo and the benchmark:
//   googlekey FILE
#include <windows.h>

#include <cstdio>

#include "cloudmail/GoogleKeyImport.h"
#include "settings/Settings.h"
#include "win32/Handles.h"

using namespace corvisk;

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: googlekey FILE\n", stderr);
    return 2;
  }
  ImportedGoogleKey key;
  const CloudOutcome outcome = ImportGoogleKeyFile(argv[1], key);
  if (FAILED(outcome.result)) {
    std::fprintf(stderr, "googlekey: %s\n", outcome.text.c_str());
    return 1;
  }
  unique_hkey settings;
  LONG error = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                               settings.put(), nullptr);
  if (error == ERROR_SUCCESS) error = StoreGoogleKey(settings.get(), key);
  if (error != ERROR_SUCCESS) {
    std::fprintf(stderr, "googlekey: the settings could not be written (error %ld)\n", error);
    return 1;
  }
  std::printf("googlekey: %s imported. %s\n", key.clientEmail.c_str(), kDeleteGoogleKeyFileAdvice);
  return 0;
}
