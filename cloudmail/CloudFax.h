#pragma once
// One fax as the cloud transports send it: the message of every transport,
// read from the document's file when it is composed.
#include <string>

#include "cloudmail/CloudOutcome.h"
#include "mime/FaxMail.h"

namespace corvisk {

struct CloudFax {
  FaxMailFields fields;  // UTF-8
  std::string attachmentName;
  std::wstring attachmentPath;
  int timeoutSeconds = 10;
};

MimeContent CloudFaxContent(const CloudFax& fax);
std::string CloudFaxBoundary(const CloudFax& fax);

// The document's size in bytes.
CloudOutcome ReadDocumentSize(const CloudFax& fax, unsigned long long& size);
// The whole message text with the document read from its file.
CloudOutcome ComposeCloudFax(const CloudFax& fax, std::string& text);
// The document could not be read: error is the system's.
CloudOutcome DocumentReadFailure(DWORD error, const std::wstring& path);

}  // namespace corvisk
