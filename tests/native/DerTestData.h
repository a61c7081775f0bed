#pragma once
// DER of the key structures the key-file readers take, built by hand so each
// test can make them whole, cut short or wrong in one part.
#include <string>

namespace corvisk::test {

inline std::string Der(unsigned char tag, const std::string& content) {
  std::string der(1, static_cast<char>(tag));
  if (content.size() < 0x80) {
    der += static_cast<char>(content.size());
  } else {
    der += "\x82";
    der += static_cast<char>(content.size() >> 8);
    der += static_cast<char>(content.size() & 0xFF);
  }
  return der + content;
}

inline std::string PrivateKeyInfo(const std::string& version, const std::string& oid, const std::string& key) {
  return Der(0x30, Der(0x02, version) + Der(0x30, Der(0x06, oid) + std::string("\x05\x00", 2)) + Der(0x04, key));
}

inline const std::string kRsaOid = "\x2a\x86\x48\x86\xf7\x0d\x01\x01\x01";

}  // namespace corvisk::test
