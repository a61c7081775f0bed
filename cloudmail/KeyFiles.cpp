#include "cloudmail/KeyFiles.h"

#include "common/SecureWipe.h"
#include "mime/MimeText.h"

namespace corvisk {
namespace {

constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kInteger = 0x02;
constexpr unsigned char kOctetString = 0x04;
constexpr unsigned char kObjectIdentifier = 0x06;
// 1.2.840.113549.1.1.1, rsaEncryption, as DER content bytes.
constexpr char kRsaEncryption[] = "\x2a\x86\x48\x86\xf7\x0d\x01\x01\x01";

// One DER element: its tag and content, within the bytes it was read from.
struct DerElement {
  unsigned char tag = 0;
  std::string_view content;
};

// Reads the element at the front of der and moves der past it. Lengths
// are checked against what is left before anything is taken.
bool ReadElement(std::string_view& der, DerElement& element) {
  if (der.size() < 2) return false;
  element.tag = static_cast<unsigned char>(der[0]);
  size_t length = static_cast<unsigned char>(der[1]);
  size_t at = 2;
  if (length & 0x80) {
    const size_t count = length & 0x7F;
    // Indefinite lengths are BER, not DER; four bytes are far beyond any key.
    if (count == 0 || count > 4 || der.size() < at + count) return false;
    length = 0;
    for (size_t i = 0; i < count; ++i) length = (length << 8) | static_cast<unsigned char>(der[at + i]);
    at += count;
  }
  if (der.size() - at < length) return false;
  element.content = der.substr(at, length);
  der.remove_prefix(at + length);
  return true;
}

bool ReadExpected(std::string_view& der, unsigned char tag, DerElement& element) {
  return ReadElement(der, element) && element.tag == tag;
}

}  // namespace

bool ReadPemBlock(std::string_view text, std::string_view label, std::string& der) {
  const std::string begin = "-----BEGIN " + std::string(label) + "-----";
  const std::string end = "-----END " + std::string(label) + "-----";
  const size_t first = text.find(begin);
  if (first == std::string_view::npos) return false;
  const size_t bodyAt = first + begin.size();
  const size_t last = text.find(end, bodyAt);
  if (last == std::string_view::npos) return false;
  return DecodeBase64(text.substr(bodyAt, last - bodyAt), der) && !der.empty();
}

PrivateKeyInfoError ReadRsaPrivateKeyInfo(std::string_view der, std::string& rsaPrivateKey) {
  WipeText(rsaPrivateKey);
  DerElement info, version, algorithm, oid, key;
  if (!ReadExpected(der, kSequence, info) || !der.empty()) return PrivateKeyInfoError::Malformed;
  std::string_view fields = info.content;
  if (!ReadExpected(fields, kInteger, version)) return PrivateKeyInfoError::Malformed;
  if (version.content != std::string_view("\0", 1)) return PrivateKeyInfoError::WrongVersion;
  if (!ReadExpected(fields, kSequence, algorithm)) return PrivateKeyInfoError::Malformed;
  std::string_view algorithmFields = algorithm.content;
  if (!ReadExpected(algorithmFields, kObjectIdentifier, oid)) return PrivateKeyInfoError::Malformed;
  if (oid.content != std::string_view(kRsaEncryption, sizeof kRsaEncryption - 1)) return PrivateKeyInfoError::NotRsa;
  if (!ReadExpected(fields, kOctetString, key) || key.content.empty()) return PrivateKeyInfoError::Malformed;
  // Optional attributes ([0]) may follow; they are not needed for signing.
  rsaPrivateKey.assign(key.content);
  return PrivateKeyInfoError::None;
}

unsigned RsaPrivateKeyBits(std::string_view der) {
  DerElement key, version, modulus;
  if (!ReadExpected(der, kSequence, key)) return 0;
  std::string_view fields = key.content;
  if (!ReadExpected(fields, kInteger, version) || !ReadExpected(fields, kInteger, modulus)) return 0;
  std::string_view bytes = modulus.content;
  while (!bytes.empty() && bytes.front() == '\0') bytes.remove_prefix(1);
  if (bytes.empty()) return 0;
  unsigned bits = static_cast<unsigned>(bytes.size() - 1) * 8;
  for (unsigned top = static_cast<unsigned char>(bytes.front()); top; top >>= 1) ++bits;
  return bits;
}

}  // namespace corvisk
