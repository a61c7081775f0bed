#include "cloudmail/GoogleKey.h"

#include <nlohmann/json.hpp>

#include "cloudmail/KeyFiles.h"

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

std::string ReadKey(const std::string& pem, std::string& rsaKey) {
  std::string der;
  if (!ReadPemBlock(pem, "PRIVATE KEY", der)) return "The key file's \"private_key\" holds no private key.";
  switch (ReadRsaPrivateKeyInfo(der, rsaKey)) {
    case PrivateKeyInfoError::None:
      return {};
    case PrivateKeyInfoError::NotRsa:
      return "The key file's private key is no RSA key.";
    default:
      return "The key file's private key cannot be read.";
  }
}

}  // namespace

std::string ReadGoogleKeyFile(std::string_view text, GoogleServiceAccountKey& key) {
  key = GoogleServiceAccountKey();
  const json file = json::parse(text.begin(), text.end(), nullptr, false);
  if (!file.is_object()) return "The file is no JSON key file.";
  if (std::string problem = CheckType(file); !problem.empty()) return problem;
  GoogleServiceAccountKey read;
  read.clientEmail = TextMember(file, "client_email");
  if (read.clientEmail.find('@') == std::string::npos)
    return "The key file names no service account (\"client_email\").";
  read.tokenUri = TextMember(file, "token_uri");
  if (read.tokenUri.empty()) read.tokenUri = kDefaultGoogleTokenUri;
  // The signed grant and the token travel only over TLS.
  if (read.tokenUri.rfind("https://", 0) != 0) return "The key file's \"token_uri\" is no https address.";
  if (std::string problem = ReadKey(TextMember(file, "private_key"), read.rsaPrivateKey); !problem.empty())
    return problem;
  key = std::move(read);
  return {};
}

}  // namespace corvisk
