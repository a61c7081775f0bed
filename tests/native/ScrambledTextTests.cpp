// Texts kept out of a binary: scrambled by the compiler, rebuilt at run time.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "settings/BuiltInConstants.h"
#include "settings/ScrambledText.h"

using corvisk::ScrambledText;

namespace {

// Whether the object's own bytes hold the text anywhere.
template <typename T>
bool BytesHold(const T& object, std::string_view text) {
  const std::string_view bytes(reinterpret_cast<const char*>(&object), sizeof object);
  return bytes.find(text) != std::string_view::npos;
}

constexpr ScrambledText kSample{"t37gw.corvisk.example"};
constexpr ScrambledText kEdgeBytes{"\x01\x7f\x80\xff y"};
constexpr ScrambledText kEmpty{""};

}  // namespace

TEST(ScrambledText, UnscramblesToThePlainText) {
  EXPECT_EQ(kSample.Unscramble(), "t37gw.corvisk.example");
  EXPECT_EQ(kEdgeBytes.Unscramble(), "\x01\x7f\x80\xff y");
  EXPECT_EQ(kEmpty.Unscramble(), "");
}

TEST(ScrambledText, StoresNoPlainCharacters) {
  EXPECT_FALSE(BytesHold(kSample, "t37gw.corvisk.example"));
  // Not even a short run of it, in either byte of a number.
  const std::string_view plain = "t37gw.corvisk.example";
  for (size_t i = 0; i + 3 <= plain.size(); ++i) EXPECT_FALSE(BytesHold(kSample, plain.substr(i, 3))) << i;
}

TEST(ScrambledText, RepeatedCharactersGetDifferentNumbers) {
  constexpr ScrambledText repeated{"aaaa"};
  const auto* numbers = reinterpret_cast<const uint16_t*>(&repeated);
  EXPECT_NE(numbers[0], numbers[1]);
  EXPECT_NE(numbers[1], numbers[2]);
  EXPECT_NE(numbers[2], numbers[3]);
}

TEST(ScrambledText, GatewayDomainIsStoredScrambled) {
  EXPECT_EQ(corvisk::kScrambledGatewayDomain.Unscramble(), CORVISK_EXPECTED_GATEWAY_DOMAIN);
  EXPECT_FALSE(BytesHold(corvisk::kScrambledGatewayDomain, CORVISK_EXPECTED_GATEWAY_DOMAIN));
}
