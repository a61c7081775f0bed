// Prints the access list of a key under HKEY_LOCAL_MACHINE, or of a binary
// registry value holding a security descriptor, as SDDL text:
//   key_security KEY            the key's own DACL
//   key_security KEY VALUE      the descriptor stored in the value
// Exits with 1, printing the error, when either cannot be read.
#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) return 2;
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, argv[1], 0, READ_CONTROL | KEY_QUERY_VALUE, &key);
  if (status != ERROR_SUCCESS) {
    std::printf("open failed: %ld\n", status);
    return 1;
  }
  std::vector<BYTE> descriptor(4096);
  DWORD size = static_cast<DWORD>(descriptor.size());
  if (argc == 2)
    status = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &size);
  else
    status = RegQueryValueExA(key, argv[2], nullptr, nullptr, descriptor.data(), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) {
    std::printf("read failed: %ld\n", status);
    return 1;
  }
  char* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor.data(), SDDL_REVISION_1,
                                                            DACL_SECURITY_INFORMATION, &text, nullptr)) {
    std::printf("convert failed: %lu\n", GetLastError());
    return 1;
  }
  std::printf("%s\n", text);
  LocalFree(text);
  return 0;
}
