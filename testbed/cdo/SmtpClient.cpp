#include "SmtpClient.h"

#include <cdosyserr.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <utility>

#include "mime/MimeText.h"
#include "common/TextFormat.h"
#include "win32/Handles.h"

namespace corvisk::cdo_standin {

namespace {

constexpr long kDefaultTimeoutSeconds = 30;
constexpr char kDroppedText[] = "The transport lost its connection to the server.";

struct CloseSocketFn {
  void operator()(SOCKET s) const { closesocket(s); }
};
using unique_socket = unique_any<SOCKET, INVALID_SOCKET, CloseSocketFn>;

struct AddrInfoFree {
  void operator()(addrinfo* info) const { freeaddrinfo(info); }
};
using unique_addrinfo = unique_any<addrinfo*, nullptr, AddrInfoFree>;

// Winsock for the length of one submission.
class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockSession() {
    if (started_) WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  bool started() const { return started_; }

 private:
  bool started_ = false;
};

struct SmtpReply {
  int code = 0;
  std::string text;  // the reply's lines, joined by blanks
};

// "<what> The server response was: <reply>", as CDO quotes its server.
Outcome Refusal(HRESULT result, const std::string& what, const SmtpReply& reply) {
  return Failure(result, what + " The server response was: " + reply.text);
}

// One SMTP connection. Connecting and every read wait at most the time-out;
// sends are bounded by the same time-out through the socket's options.
class SmtpConnection {
 public:
  explicit SmtpConnection(long timeoutSeconds)
      : timeoutSeconds_(timeoutSeconds > 0 ? timeoutSeconds : kDefaultTimeoutSeconds) {}

  Outcome Connect(const std::string& server, long port);
  bool SendText(const std::string& text);
  bool SendLine(const std::string& line) { return SendText(line + "\r\n"); }
  bool ReadReply(SmtpReply& reply);
  long timeoutSeconds() const { return timeoutSeconds_; }

 private:
  bool ConnectTo(const addrinfo& address);
  bool WaitReadable();
  bool ReadLine(std::string& line);

  long timeoutSeconds_;
  unique_socket socket_;
  std::string received_;
};

Outcome SmtpConnection::Connect(const std::string& server, long port) {
  const std::string place = FormatText("%s port %ld", server.c_str(), port);
  if (port <= 0 || port > 65535) return Failure(CDO_E_FAILED_TO_CONNECT, "Invalid port for " + place + ".");
  addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  unique_addrinfo addresses;
  if (getaddrinfo(server.c_str(), std::to_string(port).c_str(), &hints, addresses.put()) != 0) {
    return Failure(CDO_E_FAILED_TO_CONNECT, "The transport could not resolve the server name " + server + ".");
  }
  for (const addrinfo* address = addresses.get(); address; address = address->ai_next) {
    if (ConnectTo(*address)) return {};
  }
  return Failure(CDO_E_FAILED_TO_CONNECT, FormatText("The transport failed to connect to the server (%s within %ld s).",
                                                     place.c_str(), timeoutSeconds_));
}

// A non-blocking connect, so the time-out bounds it; the socket is blocking
// again afterwards.
bool SmtpConnection::ConnectTo(const addrinfo& address) {
  unique_socket s(socket(address.ai_family, address.ai_socktype, address.ai_protocol));
  if (!s) return false;
  u_long nonBlocking = 1;
  if (ioctlsocket(s.get(), FIONBIO, &nonBlocking) != 0) return false;
  if (connect(s.get(), address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s.get(), &writable);
    FD_SET(s.get(), &failed);
    timeval wait = {timeoutSeconds_, 0};
    if (select(0, nullptr, &writable, &failed, &wait) <= 0 || !FD_ISSET(s.get(), &writable)) return false;
    int error = 0;
    int size = sizeof error;
    if (getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 || error) return false;
  }
  nonBlocking = 0;
  const DWORD milliseconds = static_cast<DWORD>(timeoutSeconds_) * 1000;
  ioctlsocket(s.get(), FIONBIO, &nonBlocking);
  setsockopt(s.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&milliseconds), sizeof milliseconds);
  socket_ = std::move(s);
  return true;
}

bool SmtpConnection::SendText(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    const int chunk = static_cast<int>(std::min<size_t>(text.size() - at, 64 * 1024));
    const int sent = send(socket_.get(), text.data() + at, chunk, 0);
    if (sent <= 0) return false;
    at += static_cast<size_t>(sent);
  }
  return true;
}

bool SmtpConnection::WaitReadable() {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket_.get(), &readable);
  timeval wait = {timeoutSeconds_, 0};
  return select(0, &readable, nullptr, nullptr, &wait) > 0;
}

// One line without its line end; false when the time-out passes or the
// server closes the connection first.
bool SmtpConnection::ReadLine(std::string& line) {
  for (;;) {
    const size_t end = received_.find('\n');
    if (end != std::string::npos) {
      line = received_.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      received_.erase(0, end + 1);
      return true;
    }
    char buffer[4096];
    if (!WaitReadable()) return false;
    const int got = recv(socket_.get(), buffer, sizeof buffer, 0);
    if (got <= 0) return false;
    received_.append(buffer, static_cast<size_t>(got));
  }
}

// A reply ends with the line whose code is followed by a blank, not "-".
bool SmtpConnection::ReadReply(SmtpReply& reply) {
  reply = SmtpReply();
  std::string line;
  do {
    if (!ReadLine(line)) return false;
    if (!reply.text.empty()) reply.text += ' ';
    reply.text += line;
  } while (line.size() > 3 && line[3] == '-');
  reply.code =
      line.size() >= 3 && isdigit(static_cast<unsigned char>(line[0])) ? std::atoi(line.substr(0, 3).c_str()) : 0;
  return true;
}

// Sends a command and reads the reply; a reply outside the expected class
// (the hundreds of expected) gives refused with what and the server's words.
Outcome Exchange(SmtpConnection& connection, const std::string& command, int expected, HRESULT refused,
                 const std::string& what) {
  SmtpReply reply;
  if (!connection.SendLine(command) || !connection.ReadReply(reply))
    return Failure(CDO_E_CONNECTION_DROPPED, kDroppedText);
  if (reply.code / 100 != expected / 100) return Refusal(refused, what, reply);
  return {};
}

Outcome AwaitGreeting(SmtpConnection& connection) {
  SmtpReply reply;
  if (!connection.ReadReply(reply)) {
    return Failure(CDO_E_FAILED_TO_CONNECT,
                   FormatText("The server sent no greeting within %ld s.", connection.timeoutSeconds()));
  }
  if (reply.code != 220) return Refusal(CDO_E_FAILED_TO_CONNECT, "The server refused the connection.", reply);
  return {};
}

// EHLO, or HELO from a server that knows no extensions.
Outcome Greet(SmtpConnection& connection) {
  const char* refusal = "The server refused the greeting.";
  Outcome outcome = Exchange(connection, "EHLO corvisk-cdo-standin", 250, CDO_E_SMTP_SEND_FAILED, refusal);
  if (outcome.result == static_cast<HRESULT>(CDO_E_SMTP_SEND_FAILED)) {
    outcome = Exchange(connection, "HELO corvisk-cdo-standin", 250, CDO_E_SMTP_SEND_FAILED, refusal);
  }
  return outcome;
}

// Basic authentication is AUTH LOGIN: user name and password, each in base64.
Outcome AuthenticateBasic(SmtpConnection& connection, const SmtpSettings& settings) {
  const char* refusal = "The server rejected the logon attempt.";
  Outcome outcome = Exchange(connection, "AUTH LOGIN", 334, CDO_E_AUTHENTICATION_FAILURE, refusal);
  if (FAILED(outcome.result)) return outcome;
  outcome = Exchange(connection, EncodeBase64(settings.userName), 334, CDO_E_AUTHENTICATION_FAILURE, refusal);
  if (FAILED(outcome.result)) return outcome;
  return Exchange(connection, EncodeBase64(settings.password), 235, CDO_E_AUTHENTICATION_FAILURE, refusal);
}

Outcome Authenticate(SmtpConnection& connection, const SmtpSettings& settings) {
  switch (settings.authenticate) {
    case 0:
      return {};
    case 1:
      return AuthenticateBasic(connection, settings);
    case 2:
      // Integrated (NTLM) logon proves the process's Windows identity to an
      // Exchange server; the test gateway has no domain to check it against,
      // so the stand-in submits as that identity would be seen: without AUTH.
      return {};
    default:
      return Failure(CDO_E_LOGON_FAILURE, "The CDO stand-in offers anonymous, basic and NTLM authentication only.");
  }
}

Outcome SendEnvelope(SmtpConnection& connection, const SmtpEnvelope& envelope) {
  Outcome outcome = Exchange(connection, "MAIL FROM:<" + envelope.mailFrom + ">", 250, CDO_E_SENDER_REJECTED,
                             "The server rejected the sender address.");
  for (const std::string& recipient : envelope.recipients) {
    if (FAILED(outcome.result)) return outcome;
    outcome = Exchange(connection, "RCPT TO:<" + recipient + ">", 250, CDO_E_RECIPIENTS_REJECTED,
                       "The server rejected one or more recipient addresses.");
  }
  return outcome;
}

Outcome SendData(SmtpConnection& connection, const OutgoingMessage& message) {
  const char* refusal = "The message could not be sent to the SMTP server.";
  Outcome outcome = Exchange(connection, "DATA", 354, CDO_E_SMTP_SEND_FAILED, refusal);
  if (FAILED(outcome.result)) return outcome;
  bool dropped = false;
  outcome = message.WriteTo([&](const std::string& text) { return connection.SendText(text); }, true, dropped);
  if (FAILED(outcome.result)) return outcome;
  SmtpReply reply;
  if (dropped || !connection.SendText(".\r\n") || !connection.ReadReply(reply)) {
    return Failure(CDO_E_CONNECTION_DROPPED, kDroppedText);
  }
  if (reply.code / 100 != 2) return Refusal(CDO_E_SMTP_SEND_FAILED, refusal, reply);
  return {};
}

Outcome RunDialogue(SmtpConnection& connection, const SmtpSettings& settings, const SmtpEnvelope& envelope,
                    const OutgoingMessage& message) {
  Outcome outcome = AwaitGreeting(connection);
  if (SUCCEEDED(outcome.result)) outcome = Greet(connection);
  if (SUCCEEDED(outcome.result)) outcome = Authenticate(connection, settings);
  if (SUCCEEDED(outcome.result)) outcome = SendEnvelope(connection, envelope);
  if (SUCCEEDED(outcome.result)) outcome = SendData(connection, message);
  if (SUCCEEDED(outcome.result)) {
    SmtpReply ignored;
    if (connection.SendLine("QUIT")) connection.ReadReply(ignored);
  }
  return outcome;
}

}  // namespace

// Submits one message: greeting, EHLO, AUTH LOGIN for basic authentication,
// MAIL, RCPT for each recipient, DATA, QUIT. A refusal quotes the server.
Outcome SendBySmtp(const SmtpSettings& settings, const SmtpEnvelope& envelope, const OutgoingMessage& message) {
  if (settings.server.empty()) {
    return Failure(CDO_E_SMTP_SERVER_REQUIRED, "The configuration names no SMTP server (smtpserver).");
  }
  if (settings.useSsl) {
    return Failure(CDO_E_FAILED_TO_CONNECT, "The CDO stand-in cannot open a secure connection (smtpusessl).");
  }
  const WinsockSession winsock;
  if (!winsock.started()) return Failure(CDO_E_FAILED_TO_CONNECT, "Winsock could not be started.");
  SmtpConnection connection(settings.timeoutSeconds);
  const Outcome connected = connection.Connect(settings.server, settings.port);
  if (FAILED(connected.result)) return connected;
  return RunDialogue(connection, settings, envelope, message);
}

}  // namespace corvisk::cdo_standin
