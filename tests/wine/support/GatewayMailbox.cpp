#include "GatewayMailbox.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace corvisk::test {

namespace {

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// The fixture's folder as a Windows path.
std::wstring GatewayFolder() {
  return WinePath(LaneFolder("CORVISK_SMTP_GATEWAY_FOLDER", CORVISK_SMTP_GATEWAY_FOLDER)) + L"\\";
}

std::vector<std::wstring> FilesMatching(const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (found.cFileName[0] != L'.') names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

void DeleteTree(const std::wstring& folder) {
  for (const std::wstring& name : FilesMatching(folder + L"*")) {
    const std::wstring path = folder + name;
    if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
      DeleteTree(path + L"\\");
      RemoveDirectoryW(path.c_str());
    } else {
      DeleteFileW(path.c_str());
    }
  }
}

bool TakePrefix(const std::string& line, const std::string& prefix, std::string& rest) {
  if (line.compare(0, prefix.size(), prefix) != 0) return false;
  rest = line.substr(prefix.size());
  return true;
}

// One line of the server's summary into the message.
void ReadSummaryLine(const std::string& line, ReceivedMessage& message) {
  std::string rest;
  if (TakePrefix(line, "mail-from: ", rest)) {
    message.mailFrom = rest;
  } else if (TakePrefix(line, "rcpt-to: ", rest)) {
    message.recipients.push_back(rest);
  } else if (TakePrefix(line, "auth-login: ", rest) || line == "auth-login:") {
    message.authLogin = rest;
  } else if (TakePrefix(line, "header: ", rest)) {
    const size_t colon = rest.find(": ");
    message.headers.emplace_back(rest.substr(0, colon), colon == std::string::npos ? "" : rest.substr(colon + 2));
  } else if (TakePrefix(line, "attachment: ", rest)) {
    message.attachments.push_back(rest);
  }
}

ReceivedMessage ReadMessage(const std::wstring& stem) {
  ReceivedMessage message;
  message.stem = stem;
  std::istringstream summary(ReadWholeFile(stem + L".txt"));
  for (std::string line; std::getline(summary, line);) ReadSummaryLine(line, message);
  message.body = ReadWholeFile(stem + L".body");
  return message;
}

}  // namespace

std::string FindPickedUpMessage(const std::string& line) {
  const std::wstring folder = L"C:\\inetpub\\mailroot\\Pickup\\";
  for (const std::wstring& name : FilesMatching(folder + L"*.eml")) {
    const std::string text = ReadWholeFile(folder + name);
    if (text.find(line + "\r\n") != std::string::npos) return text;
  }
  return {};
}

std::wstring WinePath(const std::string& linuxPath) {
  std::wstring path = L"Z:" + Widen(linuxPath);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

std::string LaneFolder(const char* variable, const char* firstLanes) {
  const char* named = std::getenv(variable);
  return named && *named ? named : firstLanes;
}

std::string ReadWholeFile(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ReceivedMessage::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (key == name) return value;
  }
  return {};
}

std::string ReceivedMessage::AttachmentBytes(const std::string& fileName) const {
  return ReadWholeFile(stem + L".parts\\" + Widen(fileName));
}

std::string ReceivedMessage::RawData() const { return ReadWholeFile(stem + L".eml"); }

long GatewayServer::Port() const { return std::atol(ReadWholeFile(GatewayFolder() + Widen(name_) + L".port").c_str()); }

std::wstring GatewayServer::MailboxFolder() const { return GatewayFolder() + Widen(name_) + L"\\"; }

void GatewayServer::ClearMailbox() const { DeleteTree(MailboxFolder()); }

// The complete messages, oldest first: a summary file is written last.
std::vector<ReceivedMessage> GatewayServer::Received() const {
  std::vector<ReceivedMessage> messages;
  for (const std::wstring& name : FilesMatching(MailboxFolder() + L"*.txt")) {
    messages.push_back(ReadMessage(MailboxFolder() + name.substr(0, name.size() - 4)));
  }
  return messages;
}

size_t GatewayServer::Connections() const {
  const std::string log = ReadWholeFile(GatewayFolder() + Widen(name_) + L".connections");
  return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
}

// Binds a free port and closes it again; nothing takes it over that quickly.
long UnusedPort() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  long port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  closesocket(s);
  WSACleanup();
  return port;
}

std::optional<ReceivedMessage> FindBySubject(const GatewayServer& server, const std::string& subject) {
  for (ReceivedMessage& message : server.Received())
    if (message.Header("Subject") == subject) return std::move(message);
  return std::nullopt;
}

}  // namespace corvisk::test
