#include "cloudmail/SelfSignedCertificate.h"

#include <algorithm>
#include <cstring>

#include "cloudmail/ProtectedData.h"
#include "cloudmail/RsaSignature.h"
#include "common/SecureWipe.h"
#include "common/TextFormat.h"
#include "win32/CryptoHandles.h"
#include "win32/Handles.h"

namespace corvisk {
namespace {

constexpr ULONGLONG kFileTimePerMinute = 10000000ULL * 60;
// Clocks of this machine and of Microsoft's sign-in may differ a little.
constexpr ULONGLONG kBackdateMinutes = 10;

// Appends the low width bytes of a big-endian number, little-endian: the
// parts are secret, so they go straight into the blob without a copy.
void AppendLittleEndian(std::string& to, const BYTE* bigEndian, size_t size, size_t width) {
  const size_t taken = std::min(size, width);
  for (size_t i = 1; i <= taken; ++i) to += static_cast<char>(bigEndian[size - i]);
  to.append(width - taken, '\0');
}

// A CNG full private key as a CryptoAPI PRIVATEKEYBLOB, the form the
// settings keep: header, then modulus, primes, exponents, coefficient and
// private exponent, each little-endian and of its fixed width. Its room is
// made once, so no growth leaves a copy of the key behind.
std::string LegacyPrivateBlob(const std::string& full) {
  BCRYPT_RSAKEY_BLOB header;
  memcpy(&header, full.data(), sizeof header);
  const BYTE* at = reinterpret_cast<const BYTE*>(full.data()) + sizeof header;
  DWORD exponent = 0;
  for (ULONG i = 0; i < header.cbPublicExp; ++i) exponent = (exponent << 8) | *at++;
  const size_t modulusSize = header.BitLength / 8, primeSize = header.BitLength / 16;
  BLOBHEADER blob = {PRIVATEKEYBLOB, CUR_BLOB_VERSION, 0, CALG_RSA_SIGN};
  RSAPUBKEY rsa = {0x32415352, header.BitLength, exponent};  // "RSA2"
  const std::pair<ULONG, size_t> parts[] = {{header.cbModulus, modulusSize}, {header.cbPrime1, primeSize},
                                            {header.cbPrime2, primeSize},    {header.cbPrime1, primeSize},
                                            {header.cbPrime2, primeSize},    {header.cbPrime1, primeSize},
                                            {header.cbModulus, modulusSize}};
  std::string legacy;
  legacy.reserve(sizeof blob + sizeof rsa + 2 * modulusSize + 5 * primeSize);
  legacy.append(reinterpret_cast<const char*>(&blob), sizeof blob);
  legacy.append(reinterpret_cast<const char*>(&rsa), sizeof rsa);
  for (const auto& [size, width] : parts) {
    AppendLittleEndian(legacy, at, size, width);
    at += size;
  }
  return legacy;
}

CloudOutcome CngFailure(const char* step, NTSTATUS status) {
  return CloudFailure(
      FormatText("The key could not be made: %s failed (status 0x%08lX).", step, static_cast<unsigned long>(status)),
      HRESULT_FROM_NT(status));
}

CloudOutcome CryptFailure(const char* step) {
  const DWORD error = GetLastError();
  return CloudFailure(FormatText("The certificate could not be made: %s failed (error 0x%08lX).", step,
                                 static_cast<unsigned long>(error)),
                      HRESULT_FROM_WIN32(error));
}

// The key as a PRIVATEKEYBLOB; the CNG export is wiped once converted.
CloudOutcome MakeRsaKey(std::string& privateKeyBlob) {
  unique_bcrypt_algorithm algorithm;
  NTSTATUS status = BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_RSA_ALGORITHM, nullptr, 0);
  if (!BCRYPT_SUCCESS(status)) return CngFailure("BCryptOpenAlgorithmProvider", status);
  unique_bcrypt_key key;
  status = BCryptGenerateKeyPair(algorithm.get(), key.put(), kMinRsaKeyBits, 0);
  if (BCRYPT_SUCCESS(status)) status = BCryptFinalizeKeyPair(key.get(), 0);
  if (!BCRYPT_SUCCESS(status)) return CngFailure("BCryptGenerateKeyPair", status);
  ULONG size = 0;
  status = BCryptExportKey(key.get(), nullptr, BCRYPT_RSAFULLPRIVATE_BLOB, nullptr, 0, &size, 0);
  std::string full(size, '\0');
  if (BCRYPT_SUCCESS(status))
    status = BCryptExportKey(key.get(), nullptr, BCRYPT_RSAFULLPRIVATE_BLOB, reinterpret_cast<PUCHAR>(full.data()),
                             size, &size, 0);
  const bool exported = BCRYPT_SUCCESS(status) && size >= sizeof(BCRYPT_RSAKEY_BLOB);
  if (exported) privateKeyBlob = LegacyPrivateBlob(full);
  WipeText(full);
  return exported ? CloudOutcome{} : CngFailure("BCryptExportKey", status);
}

// SubjectPublicKeyInfo's key: the PUBLICKEYBLOB that begins the private one.
CloudOutcome EncodePublicKey(const std::string& privateKeyBlob, std::string& encoded) {
  RSAPUBKEY rsa;
  memcpy(&rsa, privateKeyBlob.data() + sizeof(BLOBHEADER), sizeof rsa);
  std::string publicBlob = privateKeyBlob.substr(0, sizeof(BLOBHEADER) + sizeof(RSAPUBKEY) + rsa.bitlen / 8);
  reinterpret_cast<BLOBHEADER*>(publicBlob.data())->bType = PUBLICKEYBLOB;
  reinterpret_cast<RSAPUBKEY*>(publicBlob.data() + sizeof(BLOBHEADER))->magic = 0x31415352;  // "RSA1"
  BYTE* bytes = nullptr;
  DWORD size = 0;
  if (!CryptEncodeObjectEx(X509_ASN_ENCODING, RSA_CSP_PUBLICKEYBLOB, publicBlob.data(), CRYPT_ENCODE_ALLOC_FLAG,
                           nullptr, &bytes, &size))
    return CryptFailure("CryptEncodeObjectEx");
  const unique_hlocal owner(bytes);
  encoded.assign(reinterpret_cast<const char*>(bytes), size);
  return {};
}

CloudOutcome EncodeName(const std::wstring& commonName, std::string& encoded) {
  const std::wstring name = L"CN=\"" + commonName + L"\"";
  DWORD size = 0;
  if (!CertStrToNameW(X509_ASN_ENCODING, name.c_str(), CERT_X500_NAME_STR, nullptr, nullptr, &size, nullptr))
    return CryptFailure("CertStrToName");
  encoded.assign(size, '\0');
  if (!CertStrToNameW(X509_ASN_ENCODING, name.c_str(), CERT_X500_NAME_STR, nullptr,
                      reinterpret_cast<BYTE*>(encoded.data()), &size, nullptr))
    return CryptFailure("CertStrToName");
  encoded.resize(size);
  return {};
}

FILETIME MinutesFromNow(long long minutes) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks = {{now.dwLowDateTime, now.dwHighDateTime}};
  ticks.QuadPart += static_cast<ULONGLONG>(minutes) * kFileTimePerMinute;
  return {ticks.LowPart, ticks.HighPart};
}

CRYPT_DATA_BLOB BlobOf(std::string& bytes) {
  return {static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(bytes.data())};
}

CloudOutcome Encode(LPCSTR type, const void* value, std::string& encoded) {
  BYTE* bytes = nullptr;
  DWORD size = 0;
  if (!CryptEncodeObjectEx(X509_ASN_ENCODING, type, value, CRYPT_ENCODE_ALLOC_FLAG, nullptr, &bytes, &size))
    return CryptFailure("CryptEncodeObjectEx");
  const unique_hlocal owner(bytes);
  encoded.assign(reinterpret_cast<const char*>(bytes), size);
  return {};
}

CloudOutcome SignCertificate(const std::wstring& commonName, unsigned validDays, const std::string& privateKeyBlob,
                             std::string& der) {
  std::string name, publicKey, serial(16, '\0'), toBeSigned, signature;
  CloudOutcome outcome = EncodeName(commonName, name);
  if (SUCCEEDED(outcome.result)) outcome = EncodePublicKey(privateKeyBlob, publicKey);
  if (FAILED(outcome.result)) return outcome;
  if (const NTSTATUS status = BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(serial.data()),
                                              static_cast<ULONG>(serial.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
      !BCRYPT_SUCCESS(status))
    return CngFailure("BCryptGenRandom", status);
  serial.back() &= 0x7F;  // little-endian: a positive serial number
  char signatureOid[] = szOID_RSA_SHA256RSA, keyOid[] = szOID_RSA_RSA;
  BYTE null[] = {0x05, 0x00};
  CERT_INFO info = {};
  info.dwVersion = CERT_V3;
  info.SerialNumber = BlobOf(serial);
  info.SignatureAlgorithm = {signatureOid, {sizeof null, null}};
  info.Issuer = info.Subject = BlobOf(name);
  info.NotBefore = MinutesFromNow(-static_cast<long long>(kBackdateMinutes));
  info.NotAfter = MinutesFromNow(static_cast<long long>(validDays) * 24 * 60);
  info.SubjectPublicKeyInfo.Algorithm = {keyOid, {sizeof null, null}};
  info.SubjectPublicKeyInfo.PublicKey = {static_cast<DWORD>(publicKey.size()),
                                         reinterpret_cast<BYTE*>(publicKey.data()), 0};
  outcome = Encode(X509_CERT_TO_BE_SIGNED, &info, toBeSigned);
  if (FAILED(outcome.result)) return outcome;
  if (const HRESULT result = SignRs256(privateKeyBlob, toBeSigned, signature); FAILED(result))
    return CloudFailure("The certificate could not be signed.", result);
  // CryptoAPI keeps signatures little-endian and turns them on encoding.
  std::reverse(signature.begin(), signature.end());
  CERT_SIGNED_CONTENT_INFO signedInfo = {};
  signedInfo.ToBeSigned = BlobOf(toBeSigned);
  signedInfo.SignatureAlgorithm = info.SignatureAlgorithm;
  signedInfo.Signature = {static_cast<DWORD>(signature.size()), reinterpret_cast<BYTE*>(signature.data()), 0};
  return Encode(X509_CERT, &signedInfo, der);
}

}  // namespace

CloudOutcome CreateSelfSignedCredential(const std::wstring& commonName, unsigned validDays,
                                        ImportedCredential& credential) {
  credential = ImportedCredential();
  std::string key;
  CloudOutcome outcome = MakeRsaKey(key);
  if (SUCCEEDED(outcome.result)) outcome = SignCertificate(commonName, validDays, key, credential.certificate);
  if (SUCCEEDED(outcome.result)) {
    if (const DWORD error = ProtectSecret(key, credential.protectedKey))
      outcome =
          CloudFailure(FormatText("The key could not be protected (error %lu).", error), HRESULT_FROM_WIN32(error));
  }
  WipeText(key);
  if (FAILED(outcome.result)) credential = ImportedCredential();
  return outcome;
}

}  // namespace corvisk