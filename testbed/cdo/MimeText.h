#pragma once
// The text of an Internet message as the stand-in sends it: MIME structure,
// base64, encoded header words, envelope addresses and SMTP dot-stuffing.
// No Windows header.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvisk::cdo_standin {

struct MimeAttachment {
  std::string fileName;  // UTF-8
  std::string contentType;
  std::string bytes;
};

struct MimeContent {
  std::vector<std::pair<std::string, std::string>> headers;  // name, UTF-8 value
  std::string textBody;                                      // UTF-8
  std::vector<MimeAttachment> attachments;
};

std::string EncodeBase64(std::string_view bytes);
std::string EncodeHeaderValue(const std::string& value);
std::string ContentTypeForFile(const std::string& fileName);
std::string MailHeaderName(const std::string& fieldName);
std::vector<std::string> EnvelopeAddresses(const std::string& addressList);
std::string ComposeMimeMessage(const MimeContent& content, const std::string& boundary);
std::string DotStuffed(const std::string& message);

}  // namespace corvisk::cdo_standin
