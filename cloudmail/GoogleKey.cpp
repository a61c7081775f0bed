#include "cloudmail/GoogleKey.h"

#include <nlohmann/json.hpp>

#include "cloudmail/KeyFiles.h"
#include "common/SecureWipe.h"

namespace corvisk {
namespace {

using nlohmann::json;

std::string TextMember(const json& file, const char* name) {
  const auto member = file.find(name);
  return member != file.end() && member->is_string() ? member->get<std::string>() : std::string();
}

// An OAuth client file ("installed", "web") is the usual wrong download.
std::string CheckType(const json& file) {
  if (TextMember(file, "type") == "service_account") return {};
  if (file.contains("installed") || file.contains("web"))
    return "The file is an OAuth client's, not a service account's key. Create a key for the service account "
           "(Keys, Add key, JSON) and import that file.";
  return "The file is no Google service account key (its \"type\" is not \"service_account\").";
}

// The key's PEM text, in the parsed file: wiped there once read.
std::string* PrivateKeyText(json& file) {
  const auto member = file.find("private_key");
  return member != file.end() && member->is_string() ? &member->get_ref<std::string&>() : nullptr;
}

std::string ReadKey(std::string_view pem, std::string& rsaKey) {
  std::string der;
  if (!ReadPemBlock(pem, "PRIVATE KEY", der)) return "The key file's \"private_key\" holds no private key.";
  const PrivateKeyInfoError error = ReadRsaPrivateKeyInfo(der, rsaKey);
  WipeText(der);
  switch (error) {
    case PrivateKeyInfoError::None:
      return {};
    case PrivateKeyInfoError::NotRsa:
      return "The key file's private key is no RSA key.";
    default:
      return "The key file's private key cannot be read.";
  }
}

std::string ReadAccountKey(json& file, GoogleServiceAccountKey& key) {
  if (std::string problem = CheckType(file); !problem.empty()) return problem;
  key.clientEmail = TextMember(file, "client_email");
  if (key.clientEmail.find('@') == std::string::npos)
    return "The key file names no service account (\"client_email\").";
  key.tokenUri = TextMember(file, "token_uri");
  if (key.tokenUri.empty()) key.tokenUri = kDefaultGoogleTokenUri;
  // The signed grant and the token travel only over TLS.
  if (key.tokenUri.rfind("https://", 0) != 0) return "The key file's \"token_uri\" is no https address.";
  const std::string* pem = PrivateKeyText(file);
  return ReadKey(pem ? std::string_view(*pem) : std::string_view(), key.rsaPrivateKey);
}

}  // namespace

std::string ReadGoogleKeyFile(std::string_view text, GoogleServiceAccountKey& key) {
  WipeText(key.rsaPrivateKey);
  key = GoogleServiceAccountKey();
  json file = json::parse(text.begin(), text.end(), nullptr, false);
  if (!file.is_object()) return "The file is no JSON key file.";
  GoogleServiceAccountKey read;
  const std::string problem = ReadAccountKey(file, read);
  if (std::string* pem = PrivateKeyText(file)) WipeText(*pem);
  if (problem.empty())
    key = std::move(read);
  else
    WipeText(read.rsaPrivateKey);
  return problem;
}

}  // namespace corvisk
