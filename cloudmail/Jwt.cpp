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

std::string AssertionSigningInput(const AssertionClaims& claims) {
  const nlohmann::json header = {{"alg", "RS256"}, {"typ", "JWT"}, {"x5t", EncodeBase64Url(claims.thumbprint)}};
  const nlohmann::json payload = {{"aud", claims.audience},
                                  {"iss", claims.clientId},
                                  {"sub", claims.clientId},
                                  {"jti", claims.id},
                                  {"nbf", claims.now},
                                  {"iat", claims.now},
                                  {"exp", claims.now + kAssertionSeconds}};
  return EncodeBase64Url(header.dump()) + "." + EncodeBase64Url(payload.dump());
}

}  // namespace corvisk
