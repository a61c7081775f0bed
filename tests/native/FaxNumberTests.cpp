#include <gtest/gtest.h>

#include "provider/FaxNumber.h"

using corvisk::DestinationNumber;
using corvisk::NormalizeFaxNumber;

TEST(DestinationNumber, DropsOnlyTheFirstDialModeMark) {
  EXPECT_EQ(DestinationNumber("T0299991234", ""), "0299991234");
  EXPECT_EQ(DestinationNumber("p0299991234", ""), "0299991234");
  EXPECT_EQ(DestinationNumber("tt123", ""), "t123");
  EXPECT_EQ(DestinationNumber("P", ""), "");
  EXPECT_EQ(DestinationNumber("", ""), "");
  EXPECT_EQ(DestinationNumber("9T1", ""), "9T1");
}

TEST(DestinationNumber, RemovesTheInternationalPrefixOnceAndOnlyAtTheStart) {
  EXPECT_EQ(DestinationNumber("0011 61 (2) 9999 1234", "0011"), "61299991234");
  EXPECT_EQ(DestinationNumber(" 0011 61 (2) 9999 1234", "0011"), "001161299991234");
  EXPECT_EQ(DestinationNumber("00110011 5", "0011"), "00115");
  EXPECT_EQ(DestinationNumber("T0011 5", "0011"), "5") << "the mark goes before the prefix is compared";
  EXPECT_EQ(DestinationNumber("001", "0011"), "001");
}

TEST(NormalizeFaxNumber, RemovesSpacesCommasAndParenthesesOnly) {
  EXPECT_EQ(NormalizeFaxNumber("  (02) 9999,1234  "), "0299991234");
  EXPECT_EQ(NormalizeFaxNumber("+61 2 9999 1234"), "+61299991234");
  EXPECT_EQ(NormalizeFaxNumber("FAX=+61299991234"), "FAX=+61299991234");
  EXPECT_EQ(NormalizeFaxNumber(" , ( ) "), "");
  EXPECT_EQ(NormalizeFaxNumber("1-2.3\t4"), "1-2.3\t4") << "tabs, dots and dashes stay";
}
