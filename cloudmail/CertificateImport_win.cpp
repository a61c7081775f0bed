#include "cloudmail/CertificateImport.h"

#include <algorithm>
#include <cwchar>

#include "cloudmail/CredentialFile.h"
#include "cloudmail/KeyFiles.h"
#include "cloudmail/ProtectedData.h"
#include "cloudmail/RsaSignature.h"
#include "common/SecureWipe.h"
#include "common/TextFormat.h"
#include "settings/RegistryText.h"
#include "win32/CryptoHandles.h"

namespace corvisk {
namespace {

// A PFX or PEM of a 4096-bit key and its certificate with a chain is a few KB.
constexpr CredentialFileKind kCertificateFile = {"certificate file", 256 * 1024,
                                                 "The file is too large to be a certificate with its key."};

bool NamesPemFile(const std::wstring& path) {
  return path.size() >= 4 && _wcsicmp(path.c_str() + path.size() - 4, L".pem") == 0;
}

// The key as a PRIVATEKEYBLOB, from its PKCS #1 DER.
CloudOutcome DecodedKey(const std::string& pkcs1, std::string& rsaKey) {
  const HRESULT result = DecodeRsaPrivateKey(pkcs1, rsaKey);
  if (FAILED(result)) return CloudFailure("The file's private key cannot be read.", result);
  return {};
}

// The PKCS #1 DER of the file's key; der holds its PKCS #8 form on the way.
CloudOutcome ReadPemPkcs1(const std::string& pem, std::string& der, std::string& pkcs1) {
  if (ReadPemBlock(pem, "RSA PRIVATE KEY", pkcs1)) return {};
  if (ReadPemBlock(pem, "ENCRYPTED PRIVATE KEY", der))
    return CloudFailure("The key in the file is encrypted. Export it without a password, or import a PFX file.");
  if (!ReadPemBlock(pem, "PRIVATE KEY", der)) return CloudFailure("The file holds no private key.");
  switch (ReadRsaPrivateKeyInfo(der, pkcs1)) {
    case PrivateKeyInfoError::None:
      return {};
    case PrivateKeyInfoError::NotRsa:
      return CloudFailure("The file's key is no RSA key; Microsoft 365 takes RSA keys of at least 2048 bits.");
    default:
      return CloudFailure("The file's private key cannot be read.");
  }
}

CloudOutcome ReadPemKey(const std::string& pem, std::string& rsaKey) {
  std::string der, pkcs1;
  CloudOutcome outcome = ReadPemPkcs1(pem, der, pkcs1);
  if (SUCCEEDED(outcome.result)) outcome = DecodedKey(pkcs1, rsaKey);
  WipeText(der);
  WipeText(pkcs1);
  return outcome;
}

// The modulus of the certificate's public key, big-endian.
std::string CertificateModulus(PCCERT_CONTEXT certificate) {
  const CERT_PUBLIC_KEY_INFO& info = certificate->pCertInfo->SubjectPublicKeyInfo;
  BYTE* blob = nullptr;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, RSA_CSP_PUBLICKEYBLOB, info.PublicKey.pbData, info.PublicKey.cbData,
                           CRYPT_DECODE_ALLOC_FLAG, nullptr, &blob, &size))
    return {};
  const unique_hlocal owner(blob);
  const auto* header = reinterpret_cast<const RSAPUBKEY*>(blob + sizeof(BLOBHEADER));
  const size_t offset = sizeof(BLOBHEADER) + sizeof(RSAPUBKEY);
  if (size < offset + header->bitlen / 8) return {};
  std::string modulus(reinterpret_cast<const char*>(blob + offset), header->bitlen / 8);
  std::reverse(modulus.begin(), modulus.end());
  return modulus;
}

CloudOutcome CheckPair(PCCERT_CONTEXT certificate, const std::string& rsaKey) {
  const unsigned bits = RsaKeyBits(rsaKey);
  if (bits < kMinRsaKeyBits)
    return CloudFailure(
        FormatText("The key has %u bits; Microsoft 365 takes RSA keys of at least %u bits.", bits, kMinRsaKeyBits));
  const std::string modulus = CertificateModulus(certificate);
  if (modulus.empty() || modulus != RsaKeyModulus(rsaKey))
    return CloudFailure("The private key in the file does not belong to its certificate.");
  if (CertVerifyTimeValidity(nullptr, certificate->pCertInfo) > 0) return CloudFailure("The certificate has expired.");
  return {};
}

// Checks the pair and keeps the certificate and the protected key.
CloudOutcome KeepCredential(PCCERT_CONTEXT certificate, const std::string& rsaKey, ImportedCredential& credential) {
  CloudOutcome outcome = CheckPair(certificate, rsaKey);
  if (FAILED(outcome.result)) return outcome;
  if (const DWORD error = ProtectSecret(rsaKey, credential.protectedKey))
    return CloudFailure(FormatText("The key could not be protected (error %lu).", error), HRESULT_FROM_WIN32(error));
  credential.certificate.assign(reinterpret_cast<const char*>(certificate->pbCertEncoded), certificate->cbCertEncoded);
  return {};
}

// The key container or CNG key the PFX import made for this certificate.
bool ImportedKeyOf(PCCERT_CONTEXT certificate, std::string& info) {
  DWORD size = 0;
  if (!CertGetCertificateContextProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size)) return false;
  info.assign(size, '\0');
  return CertGetCertificateContextProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID, info.data(), &size);
}

// A PFX made from a CNG key names its key storage provider, and the import
// puts the key there: such keys have no CryptoAPI provider type.
bool IsCngKey(const CRYPT_KEY_PROV_INFO& info) { return info.dwProvType == 0; }

// The container's RSA key as a PRIVATEKEYBLOB.
DWORD ExportContainerKey(const CRYPT_KEY_PROV_INFO& info, std::string& rsaKey) {
  unique_crypt_provider provider;
  if (!CryptAcquireContextW(provider.put(), info.pwszContainerName, info.pwszProvName, info.dwProvType,
                            info.dwFlags & CRYPT_MACHINE_KEYSET))
    return GetLastError();
  unique_crypt_key key;
  // Wine records dwKeySpec 3, which names neither key of the container.
  if (!CryptGetUserKey(provider.get(), info.dwKeySpec, key.put()) &&
      !CryptGetUserKey(provider.get(), AT_KEYEXCHANGE, key.put()) &&
      !CryptGetUserKey(provider.get(), AT_SIGNATURE, key.put()))
    return GetLastError();
  DWORD size = 0;
  if (!CryptExportKey(key.get(), 0, PRIVATEKEYBLOB, 0, nullptr, &size)) return GetLastError();
  rsaKey.assign(size, '\0');
  if (!CryptExportKey(key.get(), 0, PRIVATEKEYBLOB, 0, reinterpret_cast<BYTE*>(rsaKey.data()), &size))
    return GetLastError();
  rsaKey.resize(size);
  return ERROR_SUCCESS;
}

DWORD OpenCngKey(const CRYPT_KEY_PROV_INFO& info, unique_ncrypt_object& key) {
  unique_ncrypt_object provider;
  SECURITY_STATUS status = NCryptOpenStorageProvider(provider.put(), info.pwszProvName, 0);
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  const DWORD keySpec = info.dwKeySpec == AT_KEYEXCHANGE || info.dwKeySpec == AT_SIGNATURE ? info.dwKeySpec : 0;
  const DWORD scope = info.dwFlags & CRYPT_MACHINE_KEYSET ? NCRYPT_MACHINE_KEY_FLAG : 0;
  status = NCryptOpenKey(provider.get(), key.put(), info.pwszContainerName, keySpec, scope | NCRYPT_SILENT_FLAG);
  return static_cast<DWORD>(status);
}

// The CNG key as a PRIVATEKEYBLOB, where its export policy lets it out in clear.
DWORD ExportCngKey(const CRYPT_KEY_PROV_INFO& info, std::string& rsaKey) {
  unique_ncrypt_object key;
  if (const DWORD error = OpenCngKey(info, key)) return error;
  DWORD size = 0;
  SECURITY_STATUS status =
      NCryptExportKey(key.get(), 0, LEGACY_RSAPRIVATE_BLOB, nullptr, nullptr, 0, &size, NCRYPT_SILENT_FLAG);
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  rsaKey.assign(size, '\0');
  status = NCryptExportKey(key.get(), 0, LEGACY_RSAPRIVATE_BLOB, nullptr, reinterpret_cast<BYTE*>(rsaKey.data()), size,
                           &size, NCRYPT_SILENT_FLAG);
  if (status == ERROR_SUCCESS) rsaKey.resize(size);
  return static_cast<DWORD>(status);
}

DWORD ExportImportedKey(const CRYPT_KEY_PROV_INFO& info, std::string& rsaKey) {
  return IsCngKey(info) ? ExportCngKey(info, rsaKey) : ExportContainerKey(info, rsaKey);
}

// Nothing of the file stays on the machine but what the settings keep.
void DeleteImportedKey(const CRYPT_KEY_PROV_INFO& info) {
  if (!IsCngKey(info)) {
    HCRYPTPROV ignored = 0;
    CryptAcquireContextW(&ignored, info.pwszContainerName, info.pwszProvName, info.dwProvType,
                         (info.dwFlags & CRYPT_MACHINE_KEYSET) | CRYPT_DELETEKEYSET);
    return;
  }
  unique_ncrypt_object key;
  // A deleted key's handle is freed with it.
  if (OpenCngKey(info, key) == ERROR_SUCCESS && NCryptDeleteKey(key.get(), NCRYPT_SILENT_FLAG) == ERROR_SUCCESS)
    static_cast<void>(key.release());
}

CloudOutcome KeepPfxCredential(PCCERT_CONTEXT certificate, const CRYPT_KEY_PROV_INFO& info,
                               ImportedCredential& credential) {
  std::string rsaKey;
  const DWORD error = ExportImportedKey(info, rsaKey);
  const CloudOutcome outcome =
      error ? CloudFailure(FormatText("The PFX file's key cannot be exported (error 0x%08lX). Import the certificate "
                                      "and its key from a PEM file instead.",
                                      error),
                           HRESULT_FROM_WIN32(error))
            : KeepCredential(certificate, rsaKey, credential);
  WipeText(rsaKey);
  return outcome;
}

}  // namespace

// Every certificate's key is deleted again, also those of certificates the
// credential is not taken from.
CloudOutcome ImportPfxCredential(const std::string& pfx, const std::wstring& password, ImportedCredential& credential) {
  CRYPT_DATA_BLOB blob = {static_cast<DWORD>(pfx.size()), reinterpret_cast<BYTE*>(const_cast<char*>(pfx.data()))};
  if (!PFXIsPFXBlob(&blob)) return CloudFailure("The file is no PFX file.");
  const unique_cert_store store(PFXImportCertStore(&blob, password.c_str(), CRYPT_EXPORTABLE));
  if (!store) {
    const DWORD error = GetLastError();
    return CloudFailure(error == ERROR_INVALID_PASSWORD
                            ? "The PFX file's password is wrong."
                            : "The PFX file cannot be opened: its password is wrong or the file is damaged.",
                        error ? HRESULT_FROM_WIN32(error) : E_FAIL);
  }
  CloudOutcome outcome = CloudFailure("The PFX file holds no certificate with its private key.");
  bool kept = false;
  for (PCCERT_CONTEXT found = CertEnumCertificatesInStore(store.get(), nullptr); found;
       found = CertEnumCertificatesInStore(store.get(), found)) {
    std::string info;
    if (!ImportedKeyOf(found, info)) continue;
    const auto& key = *reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(info.data());
    if (!kept) outcome = KeepPfxCredential(found, key, credential);
    kept = true;
    DeleteImportedKey(key);
  }
  return outcome;
}

CloudOutcome ImportPemCredential(const std::string& pem, ImportedCredential& credential) {
  std::string certificateDer;
  if (!ReadPemBlock(pem, "CERTIFICATE", certificateDer)) return CloudFailure("The file holds no certificate.");
  const unique_cert_context certificate(
      CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(certificateDer.data()),
                                   static_cast<DWORD>(certificateDer.size())));
  if (!certificate) return CloudFailure("The file's certificate cannot be read.");
  std::string rsaKey;
  CloudOutcome outcome = ReadPemKey(pem, rsaKey);
  if (SUCCEEDED(outcome.result)) outcome = KeepCredential(certificate.get(), rsaKey, credential);
  WipeText(rsaKey);
  return outcome;
}

CloudOutcome ImportCredentialFile(const std::wstring& path, const std::wstring& password,
                                  ImportedCredential& credential) {
  std::string bytes;
  CloudOutcome outcome = ReadCredentialFile(path, kCertificateFile, bytes);
  if (SUCCEEDED(outcome.result))
    outcome =
        NamesPemFile(path) ? ImportPemCredential(bytes, credential) : ImportPfxCredential(bytes, password, credential);
  WipeText(bytes);
  return outcome;
}

std::vector<RegistryValue> CredentialValues(const ImportedCredential& credential) {
  return {BinaryValue("M365Certificate", credential.certificate),
          BinaryValue("M365CertificateKey", credential.protectedKey)};
}

LONG StoreCredential(HKEY settingsKey, const ImportedCredential& credential) {
  return WriteRegistryValues(settingsKey, CredentialValues(credential));
}

}  // namespace corvisk
