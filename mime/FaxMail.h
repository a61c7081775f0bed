#pragma once
// The one message every transport sends for a fax: the fields and the
// attachment, in the order CDO writes them. No Windows header.
#include <string>
#include <string_view>
#include <vector>

#include "mime/MimeText.h"

namespace corvisk {

// The gateway reads the account password from this header field.
inline constexpr char kFaxPasswordHeader[] = "X-Corvisk-fax-password";

// The texts of one fax message, in UTF-8.
struct FaxMailFields {
  std::string recipient;
  std::string sender;
  std::string subject;
  std::string gatewayPassword;
  std::string date;       // MailDate
  std::string messageId;  // without the angle brackets
};

// An RFC 5322 date in UTC; dayOfWeek 0 is Sunday, month 1 is January.
std::string MailDate(int dayOfWeek, int day, int month, int year, int hour, int minute, int second);
// The system clock's time as a MailDate (Windows only).
std::string CurrentMailDate();

// The fax message: its header fields, an empty text body and the T.37
// document as its one attachment, read from attachmentPath when written.
MimeContent FaxMailContent(const FaxMailFields& fields, const std::string& attachmentName,
                           const std::wstring& attachmentPath);

// The whole message text, each attachment given by its bytes in order.
std::string MimeMessageText(const MimeContent& content, const std::string& boundary,
                            const std::vector<std::string_view>& attachmentBytes);

// The size MimeMessageText gives, from the attachments' sizes alone.
size_t MimeMessageSize(const MimeContent& content, const std::string& boundary,
                       const std::vector<size_t>& attachmentSizes);

}  // namespace corvisk
