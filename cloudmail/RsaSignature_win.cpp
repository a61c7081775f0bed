#include "cloudmail/RsaSignature.h"

#include <algorithm>
#include <cstring>

#include "common/SecureWipe.h"
#include "win32/CryptoHandles.h"

namespace corvisk {
namespace {

// What CNG needs of a CryptoAPI private key blob (header, then modulus,
// prime 1, prime 2 and more, little-endian).
// The primes are wiped however the key goes out of scope.
struct LegacyRsaKey {
  unsigned bits = 0;
  DWORD publicExponent = 0;
  std::string modulus, prime1, prime2;  // big-endian, as CNG wants them
  ~LegacyRsaKey() {
    WipeText(prime1);
    WipeText(prime2);
  }
};

std::string BigEndian(const BYTE* littleEndian, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(littleEndian), size);
  std::reverse(bytes.begin(), bytes.end());
  return bytes;
}

bool ReadLegacyBlob(const std::string& blob, LegacyRsaKey& key) {
  constexpr size_t kHeaderSize = sizeof(BLOBHEADER) + sizeof(RSAPUBKEY);
  if (blob.size() < kHeaderSize) return false;
  RSAPUBKEY header;
  memcpy(&header, blob.data() + sizeof(BLOBHEADER), sizeof header);
  const size_t modulusSize = header.bitlen / 8;
  const size_t primeSize = header.bitlen / 16;
  // "RSA2": a private key.
  if (header.magic != 0x32415352 || blob.size() < kHeaderSize + modulusSize + 2 * primeSize) return false;
  const BYTE* at = reinterpret_cast<const BYTE*>(blob.data()) + kHeaderSize;
  key.bits = header.bitlen;
  key.publicExponent = header.pubexp;
  key.modulus = BigEndian(at, modulusSize);
  key.prime1 = BigEndian(at + modulusSize, primeSize);
  key.prime2 = BigEndian(at + modulusSize + primeSize, primeSize);
  return true;
}

// BCRYPT_RSAPRIVATE_BLOB: header, exponent, modulus, prime 1, prime 2.
std::string CngPrivateBlob(const LegacyRsaKey& key) {
  std::string exponent;
  for (DWORD e = key.publicExponent; e; e >>= 8) exponent.insert(exponent.begin(), static_cast<char>(e & 0xFF));
  BCRYPT_RSAKEY_BLOB header = {};
  header.Magic = BCRYPT_RSAPRIVATE_MAGIC;
  header.BitLength = key.bits;
  header.cbPublicExp = static_cast<ULONG>(exponent.size());
  header.cbModulus = static_cast<ULONG>(key.modulus.size());
  header.cbPrime1 = static_cast<ULONG>(key.prime1.size());
  header.cbPrime2 = static_cast<ULONG>(key.prime2.size());
  return JoinedSecret({std::string_view(reinterpret_cast<const char*>(&header), sizeof header), exponent, key.modulus,
                       key.prime1, key.prime2});
}

HRESULT Sha256(BCRYPT_ALG_HANDLE algorithm, std::string_view input, BYTE (&digest)[32]) {
  unique_bcrypt_hash hash;
  NTSTATUS status = BCryptCreateHash(algorithm, hash.put(), nullptr, 0, nullptr, 0, 0);
  if (BCRYPT_SUCCESS(status))
    status = BCryptHashData(hash.get(), reinterpret_cast<BYTE*>(const_cast<char*>(input.data())),
                            static_cast<ULONG>(input.size()), 0);
  if (BCRYPT_SUCCESS(status)) status = BCryptFinishHash(hash.get(), digest, sizeof digest, 0);
  return BCRYPT_SUCCESS(status) ? S_OK : HRESULT_FROM_NT(status);
}

HRESULT SignDigest(const std::string& blob, BYTE (&digest)[32], std::string& signature) {
  unique_bcrypt_algorithm rsa;
  NTSTATUS status = BCryptOpenAlgorithmProvider(rsa.put(), BCRYPT_RSA_ALGORITHM, nullptr, 0);
  if (!BCRYPT_SUCCESS(status)) return HRESULT_FROM_NT(status);
  unique_bcrypt_key key;
  status =
      BCryptImportKeyPair(rsa.get(), nullptr, BCRYPT_RSAPRIVATE_BLOB, key.put(),
                          reinterpret_cast<BYTE*>(const_cast<char*>(blob.data())), static_cast<ULONG>(blob.size()), 0);
  if (!BCRYPT_SUCCESS(status)) return HRESULT_FROM_NT(status);
  BCRYPT_PKCS1_PADDING_INFO padding = {BCRYPT_SHA256_ALGORITHM};
  ULONG size = 0;
  status = BCryptSignHash(key.get(), &padding, digest, sizeof digest, nullptr, 0, &size, BCRYPT_PAD_PKCS1);
  if (!BCRYPT_SUCCESS(status)) return HRESULT_FROM_NT(status);
  signature.assign(size, '\0');
  status = BCryptSignHash(key.get(), &padding, digest, sizeof digest, reinterpret_cast<BYTE*>(signature.data()), size,
                          &size, BCRYPT_PAD_PKCS1);
  if (!BCRYPT_SUCCESS(status)) return HRESULT_FROM_NT(status);
  signature.resize(size);
  return S_OK;
}

}  // namespace

HRESULT DecodeRsaPrivateKey(const std::string& pkcs1, std::string& privateKeyBlob) {
  BYTE* blob = nullptr;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, PKCS_RSA_PRIVATE_KEY, reinterpret_cast<const BYTE*>(pkcs1.data()),
                           static_cast<DWORD>(pkcs1.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr, &blob, &size))
    return HRESULT_FROM_WIN32(GetLastError());
  const unique_hlocal owner(blob);
  privateKeyBlob.assign(reinterpret_cast<const char*>(blob), size);
  SecureZeroMemory(blob, size);
  return S_OK;
}

HRESULT SignRs256(const std::string& privateKeyBlob, std::string_view input, std::string& signature) {
  LegacyRsaKey key;
  if (!ReadLegacyBlob(privateKeyBlob, key)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  unique_bcrypt_algorithm sha256;
  NTSTATUS status = BCryptOpenAlgorithmProvider(sha256.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0);
  if (!BCRYPT_SUCCESS(status)) return HRESULT_FROM_NT(status);
  BYTE digest[32];
  HRESULT result = Sha256(sha256.get(), input, digest);
  if (FAILED(result)) return result;
  std::string blob = CngPrivateBlob(key);
  result = SignDigest(blob, digest, signature);
  WipeText(blob);
  return result;
}

unsigned RsaKeyBits(const std::string& privateKeyBlob) {
  LegacyRsaKey key;
  return ReadLegacyBlob(privateKeyBlob, key) ? key.bits : 0;
}

std::string RsaKeyModulus(const std::string& privateKeyBlob) {
  LegacyRsaKey key;
  return ReadLegacyBlob(privateKeyBlob, key) ? key.modulus : std::string();
}

}  // namespace corvisk
