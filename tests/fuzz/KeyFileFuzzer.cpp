// libFuzzer entry for the key-file readers (PEM, PKCS #8, Google JSON): any bytes, bounded time and memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cloudmail/GoogleKey.h"
#include "cloudmail/KeyFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string out;
  corvisk::ReadRsaPrivateKeyInfo(bytes, out);
  corvisk::ReadPemBlock(bytes, "PRIVATE KEY", out);
  corvisk::GoogleServiceAccountKey key;
  corvisk::ReadGoogleKeyFile(bytes, key);
  return 0;
}
