#pragma once
// The stored form of the SMTP password: two lower-case hexadecimal digits per
// byte, so "abc" is kept as "616263".
#include <string>
#include <string_view>

namespace corvisk {

std::string EncodePassword(std::string_view password);
std::string DecodePassword(std::string_view stored);

}  // namespace corvisk
