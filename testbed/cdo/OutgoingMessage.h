#pragma once
// A composed message on its way to a transport. Its attachments stay in
// their files until then and are read a chunk at a time as the message is
// written, so no transport holds a whole fax document in memory (the
// provider streams its documents too; the send's peak memory must show it).
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "mime/MimeText.h"
#include "RichError.h"

namespace corvisk::cdo_standin {

// "The attachment PATH could not be read: ..." with the system's text.
Outcome AttachmentReadFailure(DWORD error, const std::wstring& path);

class OutgoingMessage {
 public:
  // pieces point into content, which must outlive the message.
  OutgoingMessage(const MimeContent& content, const std::string& boundary)
      : pieces_(ComposeMimeMessage(content, boundary)) {}

  // Hands the message to write in order. With dotStuffed, lines that start
  // with a dot get a second one, as SMTP's DATA wants. A file that cannot be
  // read is the outcome; a write that fails stops at once and sets writeFailed.
  Outcome WriteTo(const std::function<bool(const std::string&)>& write, bool dotStuffed, bool& writeFailed) const;

 private:
  std::vector<MimePiece> pieces_;
};

}  // namespace corvisk::cdo_standin
