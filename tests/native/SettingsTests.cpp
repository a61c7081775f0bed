// The settings' text forms: the password codec, flags, numbers, trimming and
// the defaults both programs start from.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "settings/PasswordCodec.h"
#include "settings/Settings.h"

using namespace corvisk;
using namespace std::string_literals;

TEST(PasswordCodec, EncodesEachByteAsTwoLowerCaseDigits) {
  EXPECT_EQ(EncodePassword("abc"), "616263");
  EXPECT_EQ(EncodePassword(""), "");
  EXPECT_EQ(EncodePassword("\x01\x7f\x80\xff"s), "017f80ff");
  EXPECT_EQ(EncodePassword("Z:"), "5a3a");
}

TEST(PasswordCodec, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  const std::string stored = EncodePassword(all);
  ASSERT_EQ(stored.size(), 512u);
  EXPECT_EQ(stored.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(DecodePassword(stored), all);
}

TEST(PasswordCodec, DecodesUpperCaseAndALoneLastDigit) {
  EXPECT_EQ(DecodePassword("4A4b"), "JK");
  EXPECT_EQ(DecodePassword("61626"), "ab\x06");
  EXPECT_EQ(DecodePassword(""), "");
}

TEST(PasswordCodec, DecodingStopsAtThePairWithANonHexCharacter) {
  EXPECT_EQ(DecodePassword("6162zz63"), "ab");
  EXPECT_EQ(DecodePassword("616g63"), "a");
  EXPECT_EQ(DecodePassword("61 62"), "a");
  EXPECT_EQ(DecodePassword("-1"), "");
  EXPECT_EQ(DecodePassword("6162x"), "ab");
}

TEST(SettingsFlag, OnlyAFirstLetterYCountsAsOn) {
  for (const char* on : {"Y", "y", "yes", "Yes", "YN"}) EXPECT_TRUE(IsFlagOn(on)) << on;
  for (const char* off : {"N", "n", "1", "true", "", " y", "on"}) EXPECT_FALSE(IsFlagOn(off)) << off;
  EXPECT_STREQ(FlagText(true), "Y");
  EXPECT_STREQ(FlagText(false), "N");
}

TEST(SettingsNumber, ReadsTheLeadingDecimalInteger) {
  EXPECT_EQ(ParseNumber("25", 2525), 25);
  EXPECT_EQ(ParseNumber("25x", 2525), 25);
  EXPECT_EQ(ParseNumber(" \t42", 10), 42);
  EXPECT_EQ(ParseNumber("-5", 10), -5);
  EXPECT_EQ(ParseNumber("+8", 10), 8);
  EXPECT_EQ(ParseNumber("0x10", 10), 0);
  EXPECT_EQ(ParseNumber("007", 10), 7);
}

TEST(SettingsNumber, TextWithoutALeadingNumberKeepsTheFallback) {
  for (const char* text : {"abc", "", "-", "+x", " ", "x25", "- 5"}) EXPECT_EQ(ParseNumber(text, 2525), 2525) << text;
}

TEST(SettingsNumber, NumbersBeyond32BitsAreClampedNotWrapped) {
  // Regression: "%d" leaves such values undefined; a huge port must not wrap to a small one.
  EXPECT_EQ(ParseNumber("2147483647", 0), INT_MAX);
  EXPECT_EQ(ParseNumber("2147483648", 0), INT_MAX);
  EXPECT_EQ(ParseNumber("4294967321", 0), INT_MAX);
  EXPECT_EQ(ParseNumber("-2147483648", 0), INT_MIN);
  EXPECT_EQ(ParseNumber("-99999999999999999999999", 0), INT_MIN);
}

TEST(SettingsText, TrimsOnlyBlanksAndTabsAtBothEnds) {
  EXPECT_EQ(TrimBlanks(" \t user@example.org\t "), "user@example.org");
  EXPECT_EQ(TrimBlanks("a b"), "a b");
  EXPECT_EQ(TrimBlanks("\nx\r"), "\nx\r");
  EXPECT_EQ(TrimBlanks(" \t "), "");
  EXPECT_EQ(TrimBlanks(""), "");
}

TEST(BuiltInTexts, DefaultSmtpHostIsTheGatewayDomain) {
  EXPECT_EQ(GatewayDomain(), CORVISK_EXPECTED_GATEWAY_DOMAIN);
  EXPECT_EQ(BuiltInSmtpHost(), CORVISK_EXPECTED_GATEWAY_DOMAIN);
}

TEST(SettingsDefaults, BothProgramsStartFromTheSameValues) {
  const ProviderSettings provider;
  EXPECT_EQ(provider.smtpServer, CORVISK_EXPECTED_GATEWAY_DOMAIN);
  EXPECT_EQ(provider.smtpPort, 2525);
  EXPECT_EQ(provider.smtpTimeout, 10);
  for (const std::string* text :
       {&provider.smtpUserName, &provider.smtpPassword, &provider.notifyAddress, &provider.gatewayPassword,
        &provider.preprocessCommand, &provider.internationalPrefix})
    EXPECT_EQ(*text, "");
  EXPECT_FALSE(provider.ntlmAuthentication);
  EXPECT_FALSE(provider.useSsl);

  const ConfigSettings config;
  EXPECT_EQ(config.smtpServer, provider.smtpServer);
  EXPECT_EQ(config.smtpPort, 2525);
  EXPECT_EQ(config.smtpTimeout, 10);
  EXPECT_FALSE(config.debugOutput || config.ntlmAuthentication || config.useSsl);
  EXPECT_FALSE(config.preprocessCommand.has_value());
  EXPECT_FALSE(config.internationalPrefix.has_value());
}
