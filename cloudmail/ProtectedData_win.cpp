#include "cloudmail/ProtectedData.h"

#include "win32/Handles.h"

namespace corvisk {
namespace {

// Ties our blobs to this product, so another program's machine-scope blob
// cannot be passed off as ours.
constexpr char kEntropy[] = "CorviskFSP cloud mail credential";

DATA_BLOB BlobOf(const std::string& bytes) {
  return DATA_BLOB{static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
}

DATA_BLOB Entropy() { return DATA_BLOB{sizeof kEntropy - 1, reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy))}; }

// Takes the system's output and wipes it before it is freed.
std::string TakeOutput(DATA_BLOB& output) {
  const unique_hlocal owner(output.pbData);
  std::string bytes(reinterpret_cast<const char*>(output.pbData), output.cbData);
  SecureZeroMemory(output.pbData, output.cbData);
  return bytes;
}

}  // namespace

DWORD ProtectSecret(const std::string& secret, std::string& blob, ProtectFunction protect) {
  DATA_BLOB input = BlobOf(secret);
  DATA_BLOB entropy = Entropy();
  DATA_BLOB output = {};
  if (!protect(&input, L"CorviskFSP", &entropy, nullptr, nullptr,
               CRYPTPROTECT_LOCAL_MACHINE | CRYPTPROTECT_UI_FORBIDDEN, &output))
    return GetLastError();
  blob = TakeOutput(output);
  return ERROR_SUCCESS;
}

DWORD UnprotectSecret(const std::string& blob, std::string& secret, UnprotectFunction unprotect) {
  DATA_BLOB input = BlobOf(blob);
  DATA_BLOB entropy = Entropy();
  DATA_BLOB output = {};
  if (!unprotect(&input, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &output))
    return GetLastError();
  secret = TakeOutput(output);
  return ERROR_SUCCESS;
}

}  // namespace corvisk
