#pragma once
// Owners of CryptoAPI, CNG and NCrypt handles and crypt32 certificate
// contexts and stores.
#include <windows.h>
#include <bcrypt.h>
#include <ncrypt.h>
#include <wincrypt.h>

#include "win32/Handles.h"

namespace corvisk {

struct BCryptCloseAlgorithmProviderFn {
  void operator()(BCRYPT_ALG_HANDLE h) const { BCryptCloseAlgorithmProvider(h, 0); }
};
struct BCryptDestroyKeyFn {
  void operator()(BCRYPT_KEY_HANDLE h) const { BCryptDestroyKey(h); }
};
struct BCryptDestroyHashFn {
  void operator()(BCRYPT_HASH_HANDLE h) const { BCryptDestroyHash(h); }
};
struct CertFreeCertificateContextFn {
  void operator()(PCCERT_CONTEXT c) const { CertFreeCertificateContext(c); }
};
struct CertCloseStoreFn {
  void operator()(HCERTSTORE store) const { CertCloseStore(store, 0); }
};
struct CryptReleaseContextFn {
  void operator()(HCRYPTPROV provider) const { CryptReleaseContext(provider, 0); }
};
struct CryptDestroyKeyFn {
  void operator()(HCRYPTKEY key) const { CryptDestroyKey(key); }
};
// Storage providers and their keys are both freed as NCrypt objects.
struct NCryptFreeObjectFn {
  void operator()(NCRYPT_HANDLE h) const { NCryptFreeObject(h); }
};

using unique_bcrypt_algorithm = unique_any<BCRYPT_ALG_HANDLE, nullptr, BCryptCloseAlgorithmProviderFn>;
using unique_bcrypt_key = unique_any<BCRYPT_KEY_HANDLE, nullptr, BCryptDestroyKeyFn>;
using unique_bcrypt_hash = unique_any<BCRYPT_HASH_HANDLE, nullptr, BCryptDestroyHashFn>;
using unique_cert_context = unique_any<PCCERT_CONTEXT, nullptr, CertFreeCertificateContextFn>;
using unique_cert_store = unique_any<HCERTSTORE, nullptr, CertCloseStoreFn>;
using unique_crypt_provider = unique_any<HCRYPTPROV, 0, CryptReleaseContextFn>;
using unique_crypt_key = unique_any<HCRYPTKEY, 0, CryptDestroyKeyFn>;
using unique_ncrypt_object = unique_any<NCRYPT_HANDLE, 0, NCryptFreeObjectFn>;

}  // namespace corvisk
