// What a token's claims tell the configuration program.
#include <gtest/gtest.h>

#include "cloudmail/Jwt.h"
#include "cloudmail/TokenFacts.h"

using namespace corvisk;

TEST(TokenFactsTest, ExpiryAndRolesComeFromTheClaimsAndOpaqueTokensGiveNone) {
  const std::string claims = EncodeBase64Url(R"({"exp":1796000000,"roles":["Mail.Send","Mail.ReadWrite"]})");
  const TokenFacts facts = ReadTokenFacts("e30." + claims + ".c2ln");
  EXPECT_EQ(facts.expiresAt, 1796000000);
  EXPECT_EQ(facts.roles, "Mail.Send, Mail.ReadWrite");
  EXPECT_EQ(ReadTokenFacts("opaque-token").expiresAt, 0);
  EXPECT_EQ(ReadTokenFacts("a.!!!.c").roles, "");
}
