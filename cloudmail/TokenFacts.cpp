#include "cloudmail/TokenFacts.h"

#include <nlohmann/json.hpp>

#include "mime/MimeText.h"

namespace corvisk {

TokenFacts ReadTokenFacts(const std::string& token) {
  TokenFacts facts;
  const size_t first = token.find('.');
  const size_t second = first == std::string::npos ? first : token.find('.', first + 1);
  if (second == std::string::npos) return facts;
  std::string encoded = token.substr(first + 1, second - first - 1);
  for (char& c : encoded) c = c == '-' ? '+' : c == '_' ? '/' : c;
  while (encoded.size() % 4) encoded += '=';
  std::string payload;
  if (!DecodeBase64(encoded, payload)) return facts;
  const nlohmann::json claims = nlohmann::json::parse(payload, nullptr, false);
  if (!claims.is_object()) return facts;
  if (claims.contains("exp") && claims["exp"].is_number()) facts.expiresAt = claims["exp"].get<long long>();
  if (claims.contains("roles") && claims["roles"].is_array()) {
    for (const auto& role : claims["roles"]) {
      if (!role.is_string()) continue;
      if (!facts.roles.empty()) facts.roles += ", ";
      facts.roles += role.get<std::string>();
    }
  }
  return facts;
}

}  // namespace corvisk
