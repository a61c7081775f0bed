#pragma once
// The text of an Internet message as our transports send it: MIME structure,
// base64, encoded header words, envelope addresses and SMTP dot-stuffing.
// No Windows header.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvisk {

struct MimeAttachment {
  std::string fileName;  // UTF-8
  std::string contentType;
  std::wstring path;  // read when the message is written
};

struct MimeContent {
  std::vector<std::pair<std::string, std::string>> headers;  // name, UTF-8 value
  std::string textBody;                                      // UTF-8
  std::vector<MimeAttachment> attachments;
};

std::string EncodeBase64(std::string_view bytes);
// False for text that is not base64; blanks and line breaks are skipped.
bool DecodeBase64(std::string_view text, std::string& bytes);
std::string EncodeHeaderValue(const std::string& value);
std::string ContentTypeForFile(const std::string& fileName);
std::string MailHeaderName(const std::string& fieldName);
std::vector<std::string> EnvelopeAddresses(const std::string& addressList);
// A piece of a composed message: text, or an attachment whose base64 lines
// the writer makes from its file.
struct MimePiece {
  std::string text;
  const MimeAttachment* attachment = nullptr;  // points into the content
};

// Input bytes per chunk of an attachment: whole base64 lines (57 bytes each).
inline constexpr size_t kBase64ChunkBytes = 57 * 1150;

std::string Base64Lines(std::string_view bytes);
// Bytes of Base64Lines for that many input bytes.
size_t Base64LinesSize(size_t bytes);
std::vector<MimePiece> ComposeMimeMessage(const MimeContent& content, const std::string& boundary);
std::string DotStuffed(const std::string& message);

}  // namespace corvisk
