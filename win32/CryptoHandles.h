#pragma once
// Owners of CNG handles and crypt32 certificate contexts.
#include <windows.h>
#include <bcrypt.h>
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

using unique_bcrypt_algorithm = unique_any<BCRYPT_ALG_HANDLE, nullptr, BCryptCloseAlgorithmProviderFn>;
using unique_bcrypt_key = unique_any<BCRYPT_KEY_HANDLE, nullptr, BCryptDestroyKeyFn>;
using unique_bcrypt_hash = unique_any<BCRYPT_HASH_HANDLE, nullptr, BCryptDestroyHashFn>;
using unique_cert_context = unique_any<PCCERT_CONTEXT, nullptr, CertFreeCertificateContextFn>;

}  // namespace corvisk
