#pragma once
// Google's service-account key file: the JSON that the Cloud console hands
// out once, with the account's e-mail, its token URI and its RSA key. No
// Windows header: tested natively.
#include <string>
#include <string_view>

namespace corvisk {

inline constexpr char kDefaultGoogleTokenUri[] = "https://oauth2.googleapis.com/token";

struct GoogleServiceAccountKey {
  std::string clientEmail;
  std::string tokenUri;
  std::string rsaPrivateKey;  // PKCS #1 DER
};

// Empty on success; otherwise what is wrong with the file, in plain words.
std::string ReadGoogleKeyFile(std::string_view json, GoogleServiceAccountKey& key);

}  // namespace corvisk
