#include "mime/FaxMail.h"

#include "common/TextFormat.h"

namespace corvisk {

std::string MailDate(int dayOfWeek, int day, int month, int year, int hour, int minute, int second) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return FormatText("%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[((dayOfWeek % 7) + 7) % 7], day,
                    kMonths[((month + 11) % 12 + 12) % 12], year, hour, minute, second);
}

MimeContent FaxMailContent(const FaxMailFields& fields, const std::string& attachmentName,
                           const std::wstring& attachmentPath) {
  MimeContent content;
  content.headers = {{"Date", fields.date},
                     {"From", fields.sender},
                     {"Sender", fields.sender},
                     {"To", fields.recipient},
                     {"Subject", fields.subject},
                     {"Message-ID", "<" + fields.messageId + ">"},
                     {kFaxPasswordHeader, fields.gatewayPassword}};
  content.attachments.push_back({attachmentName, ContentTypeForFile(attachmentName), attachmentPath});
  return content;
}

std::string MimeMessageText(const MimeContent& content, const std::string& boundary,
                            const std::vector<std::string_view>& attachmentBytes) {
  std::string text;
  size_t next = 0;
  for (const MimePiece& piece : ComposeMimeMessage(content, boundary)) {
    if (!piece.attachment) {
      text += piece.text;
    } else if (next < attachmentBytes.size()) {
      text += Base64Lines(attachmentBytes[next++]);
    }
  }
  return text;
}

size_t MimeMessageSize(const MimeContent& content, const std::string& boundary,
                       const std::vector<size_t>& attachmentSizes) {
  size_t size = 0;
  size_t next = 0;
  for (const MimePiece& piece : ComposeMimeMessage(content, boundary)) {
    if (!piece.attachment) {
      size += piece.text.size();
    } else if (next < attachmentSizes.size()) {
      size += Base64LinesSize(attachmentSizes[next++]);
    }
  }
  return size;
}

}  // namespace corvisk
