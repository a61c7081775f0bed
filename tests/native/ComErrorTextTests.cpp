#include <gtest/gtest.h>

#include "common/ComErrorText.h"

using corvisk::ComposeComErrorText;
using corvisk::FallbackErrorMessage;
using corvisk::WithoutTrailingLineBreak;

TEST(FallbackErrorMessage, NumbersInterfaceCodesFrom0x80040200) {
  EXPECT_EQ(FallbackErrorMessage(0x80040213u), "IDispatch error #19");
  EXPECT_EQ(FallbackErrorMessage(0x80040201u), "IDispatch error #1");
  EXPECT_EQ(FallbackErrorMessage(0x8004FFFFu), "IDispatch error #65023");
}

TEST(FallbackErrorMessage, OtherCodesAreUnknownInUpperCaseHex) {
  // Code 0 of the numbered range has no number.
  EXPECT_EQ(FallbackErrorMessage(0x80040200u), "Unknown error 0x80040200");
  EXPECT_EQ(FallbackErrorMessage(0x800401FFu), "Unknown error 0x800401FF");
  EXPECT_EQ(FallbackErrorMessage(0x80050000u), "Unknown error 0x80050000");
  EXPECT_EQ(FallbackErrorMessage(0x8007ABCDu), "Unknown error 0x8007ABCD");
  EXPECT_EQ(FallbackErrorMessage(1u), "Unknown error 0x1");
}

TEST(WithoutTrailingLineBreak, RemovesOneClosingCarriageReturnLineFeedOnly) {
  EXPECT_EQ(WithoutTrailingLineBreak("Class not registered\r\n"), "Class not registered");
  EXPECT_EQ(WithoutTrailingLineBreak("two\r\n\r\n"), "two\r\n");
  EXPECT_EQ(WithoutTrailingLineBreak("line feed only\n"), "line feed only\n");
  EXPECT_EQ(WithoutTrailingLineBreak("inner\r\nline"), "inner\r\nline");
  EXPECT_EQ(WithoutTrailingLineBreak("\r\n"), "");
  EXPECT_EQ(WithoutTrailingLineBreak(""), "");
}

TEST(ComposeComErrorText, CodeInLowerCaseHexThenMessageThenDescription) {
  EXPECT_EQ(ComposeComErrorText(0x80040213u, "IDispatch error #19", "The transport failed to connect"),
            "error 0x80040213  : IDispatch error #19 : The transport failed to connect");
  EXPECT_EQ(ComposeComErrorText(0x8004020Fu, "IDispatch error #15", ""), "error 0x8004020f  : IDispatch error #15");
  // Texts are copied, never used as formats.
  EXPECT_EQ(ComposeComErrorText(0x80004005u, "Unspecified %s error", "reply 550 %n"),
            "error 0x80004005  : Unspecified %s error : reply 550 %n");
}
