#pragma once
// The gateway mail servers that tests/smtp/gateway-fixture runs on the Linux
// side, as Windows tests see them: their ports, and the messages they stored.
// The fixture's folder is the build tree's smtp-gateway (a Linux path, seen
// through Wine's Z: drive).
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvisk::test {

struct ReceivedMessage {
  std::string mailFrom;
  std::vector<std::string> recipients;
  std::string authLogin;  // empty for anonymous submission
  std::vector<std::pair<std::string, std::string>> headers;
  std::vector<std::string> attachments;  // "NAME TYPE SIZE"
  std::string body;                      // the decoded text part
  std::wstring stem;                     // the message's files without extension

  // The value of the first header of that name; empty when there is none.
  std::string Header(const std::string& name) const;
  // An attachment's decoded bytes, as the server's MIME parser saw them.
  std::string AttachmentBytes(const std::string& fileName) const;
  // The message data exactly as received.
  std::string RawData() const;
};

class GatewayServer {
 public:
  // "open", "locked", "drop" or "silent"; see tests/smtp/gateway-fixture.
  explicit GatewayServer(const char* name) : name_(name) {}

  long Port() const;
  void ClearMailbox() const;
  std::vector<ReceivedMessage> Received() const;
  // How many connections the "silent" server has accepted so far.
  size_t Connections() const;

 private:
  std::wstring MailboxFolder() const;

  std::string name_;
};

// The message the server stored with that subject; none when it has none.
std::optional<ReceivedMessage> FindBySubject(const GatewayServer& server, const std::string& subject);

// A message that the CDO stand-in left in the local SMTP service's pickup
// folder with that whole line among its own; empty if there is none.
std::string FindPickedUpMessage(const std::string& line);

// A 127.0.0.1 port on which nothing listens.
long UnusedPort();
std::string ReadWholeFile(const std::wstring& path);
// A Linux path as Wine's Z: drive shows it.
std::wstring WinePath(const std::string& linuxPath);
// A fixture's folder: the one that ctest names in the environment variable
// for the test's lane, else the first lane's, for a test program run by hand.
std::string LaneFolder(const char* variable, const char* firstLanes);

}  // namespace corvisk::test
