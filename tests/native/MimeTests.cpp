// The fax message text and its base64.
#include <gtest/gtest.h>

#include <vector>

#include "mime/FaxMail.h"

using namespace corvisk;

namespace {

FaxMailFields Fields() {
  FaxMailFields fields;
  fields.recipient = "0299991234@t37gw.corvisk.example";
  fields.sender = "fax@example.com";
  fields.subject = "0299991234 JobID:42";
  fields.gatewayPassword = "gateway-secret";
  fields.date = MailDate(2, 8, 12, 2026, 3, 4, 5);
  fields.messageId = "id1@corvisk";
  return fields;
}

}  // namespace

TEST(FaxMailTest, MessageCarriesCdoFieldsInOrderEmptyBodyAndTheDocument) {
  const MimeContent content = FaxMailContent(Fields(), "Cor1A37.tif", L"C:\\x.tif");
  const std::string text = MimeMessageText(content, "B", {std::string_view("II*\0", 4)});
  EXPECT_EQ(text.rfind("Date: Tue, 08 Dec 2026 03:04:05 +0000\r\nFrom: fax@example.com\r\nSender: fax@example.com\r\n"
                       "To: 0299991234@t37gw.corvisk.example\r\nSubject: 0299991234 JobID:42\r\n"
                       "Message-ID: <id1@corvisk>\r\nX-Corvisk-fax-password: gateway-secret\r\nMIME-Version: 1.0\r\n",
                       0),
            0u)
      << text;
  EXPECT_NE(
      text.find("--B\r\nContent-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\n\r\n"
                "--B\r\nContent-Type: image/tiff; name=\"Cor1A37.tif\"\r\n"),
      std::string::npos)
      << text;
  EXPECT_NE(text.find("filename=\"Cor1A37.tif\"\r\n\r\nSUkqAA==\r\n\r\n--B--\r\n"), std::string::npos) << text;
}

TEST(FaxMailTest, SizeFromAttachmentSizesMatchesTheComposedText) {
  const MimeContent content = FaxMailContent(Fields(), "a.tif", L"a.tif");
  for (const size_t size : {0u, 1u, 2u, 3u, 56u, 57u, 58u, 114u, 1000u, 65551u}) {
    const std::string bytes(size, '\xA5');
    EXPECT_EQ(MimeMessageSize(content, "b", {size}), MimeMessageText(content, "b", {bytes}).size()) << size;
  }
}

TEST(Base64Test, DecodesWhatItEncodesAndRefusesOtherText) {
  std::string bytes;
  for (const std::string& plain :
       std::vector<std::string>{"", "f", "fo", "foo", "foob", std::string("\0\xff\x10", 3)}) {
    ASSERT_TRUE(DecodeBase64(Base64Lines(plain), bytes)) << plain;
    EXPECT_EQ(bytes, plain);
  }
  EXPECT_FALSE(DecodeBase64("Zm9v!", bytes));
  EXPECT_FALSE(DecodeBase64("Zg==Zg==", bytes)) << "data after padding";
  EXPECT_FALSE(DecodeBase64("Z", bytes)) << "a lone sextet is no byte";
  EXPECT_FALSE(DecodeBase64("Zm9vYmFy!", bytes));
  EXPECT_EQ(bytes, "") << "the bytes decoded before the fault are not left behind";
}
