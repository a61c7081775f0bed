#include "OutgoingMessage.h"

#include "win32/AnsiText.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"

namespace corvisk::cdo_standin {
namespace {

// Sends an attachment's base64 lines, one chunk of the file at a time.
Outcome WriteAttachment(const MimeAttachment& attachment, const std::function<bool(const std::string&)>& write,
                        bool& writeFailed) {
  const unique_hfile file(CreateFileW(attachment.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return AttachmentReadFailure(GetLastError(), attachment.path);
  std::string chunk(kBase64ChunkBytes, '\0');
  for (;;) {
    DWORD got = 0;
    // A short read happens only at the end, so every chunk before the last
    // is whole base64 lines.
    if (!ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr))
      return AttachmentReadFailure(GetLastError(), attachment.path);
    if (got == 0) return {};
    if (!write(Base64Lines(std::string_view(chunk.data(), got)))) {
      writeFailed = true;
      return {};
    }
    if (got < chunk.size()) return {};
  }
}

}  // namespace

Outcome AttachmentReadFailure(DWORD error, const std::wstring& path) {
  const HRESULT result = HRESULT_FROM_WIN32(error);
  return Failure(result, "The attachment " + ToAnsi(path) + " could not be read: " + StandardMessage(result));
}

Outcome OutgoingMessage::WriteTo(const std::function<bool(const std::string&)>& write, bool dotStuffed,
                                 bool& writeFailed) const {
  writeFailed = false;
  for (const MimePiece& piece : pieces_) {
    if (piece.attachment) {
      // Base64 lines never start with a dot: nothing to stuff.
      const Outcome outcome = WriteAttachment(*piece.attachment, write, writeFailed);
      if (FAILED(outcome.result) || writeFailed) return outcome;
    } else if (!write(dotStuffed ? DotStuffed(piece.text) : piece.text)) {
      writeFailed = true;
      return {};
    }
  }
  return {};
}

}  // namespace corvisk::cdo_standin
