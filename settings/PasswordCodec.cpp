#include "settings/PasswordCodec.h"

namespace corvisk {
namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string EncodePassword(std::string_view password) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string stored;
  stored.reserve(password.size() * 2);
  for (const unsigned char byte : password) {
    stored += kDigits[byte >> 4];
    stored += kDigits[byte & 0x0F];
  }
  return stored;
}

// Each pair of digits, upper or lower case, gives one byte; a last digit
// without a partner stands alone. The encoder writes nothing but hexadecimal
// digits, so any other character means the value was damaged or edited by
// hand: decoding stops at the pair that holds it, and the password is what
// was decoded before.
std::string DecodePassword(std::string_view stored) {
  std::string password;
  for (size_t i = 0; i < stored.size(); i += 2) {
    int byte = 0;
    for (const char c : stored.substr(i, 2)) {
      const int digit = HexDigitValue(c);
      if (digit < 0) return password;
      byte = byte * 16 + digit;
    }
    password += static_cast<char>(byte);
  }
  return password;
}

}  // namespace corvisk
