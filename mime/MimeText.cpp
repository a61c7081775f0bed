#include "mime/MimeText.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/SecureWipe.h"

namespace corvisk {

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// Lines of base64 body text stay within RFC 2045's 76 characters.
constexpr size_t kBase64LineLength = 76;
// Input bytes per encoded word, so a word stays within RFC 2047's 75 characters.
constexpr size_t kEncodedWordBytes = 45;
constexpr char kMailHeaderPrefix[] = "urn:schemas:mailheader:";

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return text;
}

// Every line of a 7-bit text ends with CRLF, also a last line without one.
std::string CrlfLines(const std::string& text) {
  std::string lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines += line + "\r\n";
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

// Splits UTF-8 text into pieces of at most max bytes without cutting a
// character.
std::vector<std::string> Utf8Pieces(const std::string& text, size_t max) {
  std::vector<std::string> pieces;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = std::min(at + max, text.size());
    while (end < text.size() && end > at + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    pieces.push_back(text.substr(at, end - at));
    at = end;
  }
  return pieces;
}

std::string TextPartHeaders(const std::string& body) {
  return std::string("Content-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: ") +
         (IsAscii(body) ? "7bit" : "base64") + "\r\n";
}

std::string TextPartBody(const std::string& body) { return IsAscii(body) ? CrlfLines(body) : Base64Lines(body); }

std::string AttachmentPartHeaders(const MimeAttachment& attachment) {
  const std::string name = EncodeHeaderValue(attachment.fileName);
  return "Content-Type: " + attachment.contentType + "; name=\"" + name +
         "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"" + name +
         "\"\r\n\r\n";
}

}  // namespace

// Base64 cut into CRLF-ended lines, as a base64 body part carries it.
std::string Base64Lines(std::string_view bytes) {
  const std::string encoded = EncodeBase64(bytes);
  std::string lines;
  lines.reserve(encoded.size() + encoded.size() / kBase64LineLength * 2 + 2);
  for (size_t at = 0; at < encoded.size(); at += kBase64LineLength) {
    lines.append(encoded, at, kBase64LineLength);
    lines += "\r\n";
  }
  return lines;
}

size_t Base64LinesSize(size_t bytes) {
  const size_t encoded = (bytes + 2) / 3 * 4;
  return encoded + (encoded + kBase64LineLength - 1) / kBase64LineLength * 2;
}

std::string EncodeBase64(std::string_view bytes) {
  std::string encoded;
  encoded.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t at = 0; at < bytes.size(); at += 3) {
    const size_t count = std::min<size_t>(3, bytes.size() - at);
    unsigned group = 0;
    for (size_t i = 0; i < 3; ++i) {
      group = (group << 8) | (i < count ? static_cast<unsigned char>(bytes[at + i]) : 0u);
    }
    for (size_t i = 0; i < 4; ++i) {
      encoded += i <= count ? kBase64Alphabet[(group >> (18 - 6 * i)) & 0x3F] : '=';
    }
  }
  return encoded;
}

// The bytes may be a key: they are decoded into room made once, so no
// growth leaves a copy behind, and wiped when the text turns out not to be
// base64.
bool DecodeBase64(std::string_view text, std::string& bytes) {
  WipeText(bytes);
  bytes.reserve(text.size() / 4 * 3 + 3);
  unsigned group = 0;
  int bits = 0;
  size_t padding = 0;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const char* at = c ? std::strchr(kBase64Alphabet, c) : nullptr;
    if (!at || padding) {
      WipeText(bytes);
      return false;
    }
    group = (group << 6) | static_cast<unsigned>(at - kBase64Alphabet);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((group >> bits) & 0xFF);
    }
  }
  // Left-over bits are zero padding of the last group: at most 4 of them.
  if (padding <= 2 && bits <= 4) return true;
  WipeText(bytes);
  return false;
}

// ASCII values go into a header as they are; others become RFC 2047
// encoded words (UTF-8, base64), folded onto continuation lines.
std::string EncodeHeaderValue(const std::string& value) {
  if (IsAscii(value)) return value;
  std::string encoded;
  for (const std::string& piece : Utf8Pieces(value, kEncodedWordBytes)) {
    if (!encoded.empty()) encoded += "\r\n ";
    encoded += "=?utf-8?B?" + EncodeBase64(piece) + "?=";
  }
  return encoded;
}

// Fax documents travel as image/tiff; anything else as plain bytes.
std::string ContentTypeForFile(const std::string& fileName) {
  const size_t dot = fileName.find_last_of('.');
  const std::string extension = dot == std::string::npos ? std::string() : Lowered(fileName.substr(dot));
  if (extension == ".tif" || extension == ".tiff") return "image/tiff";
  if (extension == ".txt") return "text/plain";
  return "application/octet-stream";
}

// CDO names a message's header fields "urn:schemas:mailheader:<header>";
// other field names are no header. Empty for those.
std::string MailHeaderName(const std::string& fieldName) {
  const std::string prefix = kMailHeaderPrefix;
  if (fieldName.size() <= prefix.size() || Lowered(fieldName.substr(0, prefix.size())) != prefix) return {};
  return fieldName.substr(prefix.size());
}

// The addresses of a header's address list ("a@x, Name <b@y>; c@z"), as
// the envelope names them. Separators inside quoted display names do not
// split.
std::vector<std::string> EnvelopeAddresses(const std::string& addressList) {
  std::vector<std::string> items(1);
  bool quoted = false;
  for (const char c : addressList) {
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == ',' || c == ';')) {
      items.emplace_back();
    } else {
      items.back() += c;
    }
  }
  std::vector<std::string> addresses;
  for (const std::string& item : items) {
    const size_t open = item.find('<');
    const size_t close = item.find('>', open == std::string::npos ? 0 : open);
    std::string address =
        open != std::string::npos && close != std::string::npos ? item.substr(open + 1, close - open - 1) : item;
    address = Trimmed(address);
    if (!address.empty()) addresses.push_back(address);
  }
  return addresses;
}

// The whole message, headers first. Without attachments it is one text
// part; with them, a multipart/mixed message of the text and each file.
std::vector<MimePiece> ComposeMimeMessage(const MimeContent& content, const std::string& boundary) {
  std::string text;
  for (const auto& [name, value] : content.headers) text += name + ": " + EncodeHeaderValue(value) + "\r\n";
  text += "MIME-Version: 1.0\r\n";
  if (content.attachments.empty()) {
    return {{text + TextPartHeaders(content.textBody) + "\r\n" + TextPartBody(content.textBody)}};
  }
  text += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
  text += "This is a multi-part message in MIME format.\r\n";
  text += "\r\n--" + boundary + "\r\n" + TextPartHeaders(content.textBody) + "\r\n" + TextPartBody(content.textBody);
  std::vector<MimePiece> pieces;
  for (const MimeAttachment& attachment : content.attachments) {
    text += "\r\n--" + boundary + "\r\n" + AttachmentPartHeaders(attachment);
    pieces.push_back({std::move(text)});
    pieces.push_back({std::string(), &attachment});
    text.clear();
  }
  pieces.push_back({text + "\r\n--" + boundary + "--\r\n"});
  return pieces;
}

// SMTP ends the data at a line holding one dot, so every line that starts
// with a dot gets a second one (RFC 5321 4.5.2).
std::string DotStuffed(const std::string& message) {
  std::string stuffed;
  stuffed.reserve(message.size() + message.size() / 64);
  bool lineStart = true;
  for (const char c : message) {
    if (lineStart && c == '.') stuffed += '.';
    stuffed += c;
    lineStart = c == '\n';
  }
  return stuffed;
}

}  // namespace corvisk
