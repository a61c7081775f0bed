#include "cloudmail/Jwt.h"

#include <nlohmann/json.hpp>

#include "mime/MimeText.h"

namespace corvisk {

std::string EncodeBase64Url(std::string_view bytes) {
  std::string text = EncodeBase64(bytes);
  while (!text.empty() && text.back() == '=') text.pop_back();
  for (char& c : text) {
    if (c == '+') c = '-';
    if (c == '/') c = '_';
  }
  return text;
}

namespace {

std::string SigningInput(const nlohmann::json& header, const nlohmann::json& payload) {
  return EncodeBase64Url(header.dump()) + "." + EncodeBase64Url(payload.dump());
}

}  // namespace

std::string AssertionSigningInput(const AssertionClaims& claims) {
  const nlohmann::json header = {{"alg", "RS256"}, {"typ", "JWT"}, {"x5t", EncodeBase64Url(claims.thumbprint)}};
  const nlohmann::json payload = {{"aud", claims.audience},
                                  {"iss", claims.clientId},
                                  {"sub", claims.clientId},
                                  {"jti", claims.id},
                                  {"nbf", claims.now},
                                  {"iat", claims.now},
                                  {"exp", claims.now + kAssertionSeconds}};
  return SigningInput(header, payload);
}

std::string ServiceAccountSigningInput(const ServiceAccountClaims& claims) {
  const nlohmann::json header = {{"alg", "RS256"}, {"typ", "JWT"}};
  const nlohmann::json payload = {{"iss", claims.issuer},   {"scope", claims.scope},
                                  {"aud", claims.audience}, {"sub", claims.subject},
                                  {"iat", claims.now},      {"exp", claims.now + kServiceAccountSeconds}};
  return SigningInput(header, payload);
}

}  // namespace corvisk
