// The single-mailbox checks that keep a fax number or a typed address from
// adding recipients or header lines, with the fax number rules in front.
#include <gtest/gtest.h>

#include "common/MailAddress.h"
#include "provider/FaxNumber.h"

using namespace corvisk;
using Fault = AddressCheck::Fault;

namespace {

std::string Why(std::string_view text) { return DescribeAddressFault(CheckMailLocalPart(text)); }
std::string WhyNot(std::string_view address) { return DescribeAddressFault(CheckSingleMailAddress(address)); }

TEST(MailLocalPart, EveryFormGatewaysUseIsOneMailbox) {
  for (const char* number : {"0299991234", "+61299991234", "FAX=+61299991234/T33S=12", "Sales.Desk-2", "1-2.3=4",
                             "!#$%&'*+-/=?^_`{|}~", "%s%n"})
    EXPECT_TRUE(CheckMailLocalPart(number)) << number << ": " << Why(number);
}

TEST(MailLocalPart, SeparatorsQuotesBracketsAndControlCharactersAreRefusedByName) {
  EXPECT_EQ(Why("123;456"), "it contains \";\"");
  EXPECT_EQ(Why("evil@example.com"), "it contains \"@\"");
  EXPECT_EQ(Why("1,2"), "it contains \",\"");
  EXPECT_EQ(Why("\"1\""), "it contains \"\\\"\"");
  EXPECT_EQ(Why("1\\2"), "it contains \"\\\\\"");
  EXPECT_EQ(Why("12\r\nBcc: x@y"), "it contains \"\\r\"");
  EXPECT_EQ(Why("12\n"), "it contains \"\\n\"");
  EXPECT_EQ(Why("12\t"), "it contains \"\\t\"");
  EXPECT_EQ(Why("12\xE9"), "it contains \"\\xE9\"");
  EXPECT_EQ(Why(std::string_view("1\0002", 3)), "it contains \"\\x00\"");
  for (const char* text : {"<1>", "1:2", "[1]", "1 2", "1\x7F", "(1)"})
    EXPECT_EQ(CheckMailLocalPart(text).fault, Fault::Character) << text;
}

TEST(MailLocalPart, EmptyAndMisplacedDotsAreRefused) {
  EXPECT_EQ(Why(""), "it is empty");
  for (const char* text : {".123", "123.", "1..2", "."})
    EXPECT_EQ(CheckMailLocalPart(text).fault, Fault::MisplacedDot) << text;
}

TEST(MailLocalPart, NumberRulesInFrontLeaveOnlyCommasAndBracketsHarmless) {
  EXPECT_TRUE(CheckMailLocalPart(DestinationNumber("T(02) 9999,1234", "")));
  EXPECT_TRUE(CheckMailLocalPart(DestinationNumber("0011 FAX=+61299991234/T33S=12", "0011")));
  EXPECT_EQ(Why(DestinationNumber("attacker@evil.example;12345", "")), "it contains \"@\"");
  EXPECT_EQ(Why(DestinationNumber("12345, attacker@evil.example", "")), "it contains \"@\"");
  EXPECT_EQ(Why(DestinationNumber(" , ( ) ", "")), "it is empty");
  EXPECT_EQ(Why(DestinationNumber("P", "")), "it is empty");
}

TEST(SingleMailAddress, PlainAddressesPass) {
  for (const char* address :
       {"fax.admin@example.com", "a+b@mail-1.Example.ORG", "user@localhost", "J\xFCrgen@m\xFCller.de"})
    EXPECT_TRUE(CheckSingleMailAddress(address)) << address << ": " << WhyNot(address);
}

TEST(SingleMailAddress, ListsNamesBracketsAndHeaderLinesAreRefused) {
  EXPECT_EQ(WhyNot("a@example.com;b@evil.example"), "it contains \";\"");
  EXPECT_EQ(WhyNot("a@example.com, b@evil.example"), "it contains \",\"");
  EXPECT_EQ(WhyNot("Fax <a@example.com>"), "it contains \" \"");
  EXPECT_EQ(WhyNot("<a@example.com>"), "it contains \"<\"");
  EXPECT_EQ(WhyNot("a@example.com\r\nBcc: b@evil.example"), "it contains \"\\r\"");
  EXPECT_EQ(WhyNot("a@b@example.com"), "it contains \"@\"");
  EXPECT_EQ(WhyNot("\"a b\"@example.com"), "it contains \"\\\"\"");
  EXPECT_EQ(WhyNot("a@[127.0.0.1]"), "it contains \"[\"");
  EXPECT_EQ(WhyNot("a;b"), "it contains \";\"") << "a separator says more than the missing '@'";
}

TEST(SingleMailAddress, MissingPartsAreToldApart) {
  EXPECT_EQ(WhyNot(""), "it is empty");
  EXPECT_EQ(WhyNot("postmaster"), "it has no \"@\"");
  EXPECT_EQ(WhyNot("@example.com"), "nothing stands before the \"@\"");
  EXPECT_EQ(WhyNot("fax.admin@"), "nothing stands after the \"@\"");
  EXPECT_EQ(CheckSingleMailAddress("a.@example.com").fault, Fault::MisplacedDot);
  EXPECT_EQ(CheckSingleMailAddress("a@example..com").fault, Fault::MisplacedDot);
  EXPECT_EQ(CheckSingleMailAddress("a@example.com.").fault, Fault::MisplacedDot);
}

TEST(ShowEscaped, EveryByteIsVisibleOnOneLine) {
  EXPECT_EQ(ShowEscaped("+61 2"), "+61 2");
  EXPECT_EQ(ShowEscaped("1\r\n2\t\"3\"\\"), "1\\r\\n2\\t\\\"3\\\"\\\\");
  EXPECT_EQ(ShowEscaped(std::string_view("\x01\x7F\xFF\0", 4)), "\\x01\\x7F\\xFF\\x00");
}

}  // namespace
