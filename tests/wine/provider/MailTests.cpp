// SendCDOMessage against the CDO stand-in and real aiosmtpd servers: the
// exact calls CDO receives (the stand-in's record), what the gateway's mail
// server receives, and the error texts of each failure.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "GatewayMailbox.h"
#include "mail/CdoMessage.h"
#include "win32/AnsiText.h"
#include "win32/SystemMessage.h"

using namespace corvisk;
using namespace corvisk::test;

namespace {

const std::string kConfig = "Configuration.Fields[http://schemas.microsoft.com/cdo/configuration/";
const std::string kHeaderField = "urn:schemas:mailheader:X-Corvisk-fax-password";
constexpr wchar_t kPickupFolder[] = L"C:\\inetpub\\mailroot\\Pickup\\";

struct SendArguments {
  std::string userName;
  std::string password;
  std::string server = "127.0.0.1";
  std::string to = "61299991234@t37gw.corvisk.example";
  std::string from = "faxes@customer.example";
  std::string subject = "61299991234 JobID:42";
  std::string body;
  std::wstring attachment;
  bool nullAttachment = false;
  std::string headerName = kHeaderField;
  std::string headerValue = "s3cret";
  bool notifyOnSuccess = false;
  bool notifyOnFailure = false;
  bool notifyOnDelay = false;
  long port = 0;
  long timeoutSeconds = 10;
  bool ntlm = false;
  bool usePickup = false;
  bool useSsl = false;
};

std::wstring TempFilePath(const wchar_t* prefix) {
  wchar_t folder[MAX_PATH];
  wchar_t path[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, prefix, 0, path);
  return path;
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// Bytes that a careless encoder would damage: every byte value, line ends,
// lone dots and NULs, over several base64 lines and send chunks.
std::string AwkwardBytes(size_t size) {
  std::string bytes;
  for (size_t i = 0; bytes.size() < size; ++i) {
    bytes += static_cast<char>((i * 7919) & 0xFF);
    if (i % 97 == 0) bytes += "\r\n.\r\n";
  }
  return bytes.substr(0, size);
}

std::string ToUtf8(const std::wstring& text) {
  const int size = static_cast<int>(text.size());
  std::string utf8(
      static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
  return utf8;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& wanted) {
  for (const std::string& line : lines) {
    if (line == wanted) return true;
  }
  return false;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::wstring> PickupMessages() {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((std::wstring(kPickupFolder) + L"*.eml").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

bool AnyStartsWith(const std::vector<std::string>& lines, const std::string& prefix) {
  for (const std::string& line : lines) {
    if (StartsWith(line, prefix)) return true;
  }
  return false;
}

class CdoSendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    record_ = TempFilePath(L"rec");
    SetEnvironmentVariableW(L"CORVISK_CDO_RECORD", record_.c_str());
    open_.ClearMailbox();
    locked_.ClearMailbox();
    drop_.ClearMailbox();
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"CORVISK_CDO_RECORD", nullptr);
    DeleteFileW(record_.c_str());
    for (const std::wstring& file : files_) DeleteFileW(file.c_str());
    CoUninitialize();
  }

  // Sends with args; the error text starts out stale, as a caller's may.
  HRESULT Send(const SendArguments& args) {
    error_ = "stale text from an earlier send";
    const wchar_t* attachment = args.nullAttachment ? nullptr : args.attachment.c_str();
    return SendCDOMessage(args.userName.c_str(), args.password.c_str(), args.server.c_str(), args.to.c_str(),
                          args.from.c_str(), args.subject.c_str(), args.body.c_str(), attachment,
                          args.headerName.c_str(), args.headerValue.c_str(), args.notifyOnSuccess, args.notifyOnFailure,
                          args.notifyOnDelay, args.port, args.timeoutSeconds, args.ntlm, args.usePickup, error_,
                          args.useSsl);
  }

  // A send to the open server with a fresh attachment.
  SendArguments ToOpenServer() {
    SendArguments args;
    args.port = open_.Port();
    args.attachment = Attachment(AwkwardBytes(300 * 1024));
    return args;
  }

  // A fax document named like the provider's: the temporary name with .tif.
  std::wstring Attachment(const std::string& bytes) {
    const std::wstring temporary = TempFilePath(L"Cor");
    DeleteFileW(temporary.c_str());
    const std::wstring path = temporary.substr(0, temporary.size() - 4) + L".tif";
    WriteFile(path, bytes);
    files_.push_back(path);
    return path;
  }

  std::vector<std::string> Record() const { return SplitLines(ReadWholeFile(record_)); }
  void ClearRecord() const { DeleteFileW(record_.c_str()); }

  GatewayServer open_{"open"};
  GatewayServer locked_{"locked"};
  GatewayServer drop_{"drop"};
  std::string error_;

 private:
  std::wstring record_;
  std::vector<std::wstring> files_;
};

TEST(StandardMessage, SystemTextWithoutItsLineBreakOrTheFallback) {
  const std::string system = SystemMessageText(static_cast<DWORD>(E_FAIL));
  ASSERT_GT(system.size(), 2u);
  ASSERT_EQ(system.substr(system.size() - 2), "\r\n");
  EXPECT_EQ(StandardMessage(E_FAIL), system.substr(0, system.size() - 2));
  // Codes below the numbered interface range that the system does not know.
  if (SystemMessageText(static_cast<DWORD>(E_POINTER)).empty()) {
    EXPECT_EQ(StandardMessage(E_POINTER), "Unknown error 0x80004003");
  }
  // CDO's codes have no system text.
  EXPECT_EQ(SystemMessageText(0x80040213), "");
  EXPECT_EQ(StandardMessage(static_cast<HRESULT>(0x80040213)), "IDispatch error #19");
  EXPECT_EQ(StandardMessage(static_cast<HRESULT>(0x80040200)), "Unknown error 0x80040200");
  EXPECT_EQ(StandardMessage(static_cast<HRESULT>(0xA0050001)), "Unknown error 0xA0050001");
}

TEST_F(CdoSendTest, AnonymousSendMakesTheCallsInOrderAndDeliversTheMessageIntact) {
  SendArguments args = ToOpenServer();
  // A line holding only a dot would end the SMTP data early if not doubled.
  args.body = "Fax for 61299991234\r\n.\r\n.leading dot";
  const std::string attachment = ReadWholeFile(args.attachment);

  ASSERT_EQ(Send(args), S_OK) << error_;
  EXPECT_EQ(error_, "");

  const std::vector<std::string> expected = {
      "Message.Create",
      "Configuration.Create",
      "Configuration.get_Fields",
      kConfig + "sendusing].put_Value VT_I4 2",
      kConfig + "smtpserver].put_Value VT_BSTR \"127.0.0.1\"",
      kConfig + "smtpserverport].put_Value VT_I4 " + std::to_string(args.port),
      kConfig + "smtpconnectiontimeout].put_Value VT_I4 10",
      kConfig + "smtpauthenticate].put_Value VT_I4 0",
      "Configuration.Fields.Update",
      "Message.putref_Configuration",
      "Message.get_Fields",
      "Message.Fields[" + kHeaderField + "].put_Value VT_BSTR \"s3cret\"",
      "Message.Fields.Update",
      "Message.put_To \"61299991234@t37gw.corvisk.example\"",
      "Message.put_From \"faxes@customer.example\"",
      "Message.put_Sender \"faxes@customer.example\"",
      "Message.put_Subject \"61299991234 JobID:42\"",
      "Message.put_TextBody \"Fax for 61299991234\\r\\n.\\r\\n.leading dot\"",
      "Message.AddAttachment \"" + ToAnsi(args.attachment) + "\" \"\" \"\"",
      "Message.Send -> 0x00000000",
  };
  EXPECT_EQ(Record(), expected);

  const std::vector<ReceivedMessage> received = open_.Received();
  ASSERT_EQ(received.size(), 1u);
  const ReceivedMessage& message = received[0];
  EXPECT_EQ(message.mailFrom, "faxes@customer.example");
  EXPECT_EQ(message.recipients, std::vector<std::string>{"61299991234@t37gw.corvisk.example"});
  EXPECT_EQ(message.authLogin, "");
  EXPECT_EQ(message.Header("To"), "61299991234@t37gw.corvisk.example");
  EXPECT_EQ(message.Header("From"), "faxes@customer.example");
  EXPECT_EQ(message.Header("Sender"), "faxes@customer.example");
  EXPECT_EQ(message.Header("Subject"), "61299991234 JobID:42");
  EXPECT_EQ(message.Header("X-Corvisk-fax-password"), "s3cret");
  EXPECT_EQ(message.body, "Fax for 61299991234\r\n.\r\n.leading dot\r\n");
  const std::string name = ToAnsi(args.attachment.substr(args.attachment.find_last_of(L'\\') + 1));
  EXPECT_EQ(message.attachments, std::vector<std::string>{name + " image/tiff " + std::to_string(attachment.size())});
  EXPECT_TRUE(message.AttachmentBytes(name) == attachment) << "attachment bytes changed on the way";
}

// Texts in the ANSI code page reach the gateway as UTF-8: encoded words in
// the header (several, for a long subject), a base64 text part.
TEST_F(CdoSendTest, NonAsciiTextsArriveIntact) {
  SendArguments args = ToOpenServer();
  const std::string ansi = "Fax f\xfcr M\xfcller " + std::string(50, 'x') + " \xe9t\xe9 \xe0 Z\xfcrich";
  args.subject = ansi;
  args.body = ansi;
  ASSERT_EQ(Send(args), S_OK) << error_;

  const std::vector<ReceivedMessage> received = open_.Received();
  ASSERT_EQ(received.size(), 1u);
  const std::string utf8 = ToUtf8(ToWide(ansi));
  EXPECT_EQ(received[0].Header("Subject"), utf8);
  EXPECT_EQ(received[0].body, utf8);
  EXPECT_EQ(received[0].RawData().find(ansi), std::string::npos) << "8-bit text sent unencoded";
}

TEST_F(CdoSendTest, UserNameSelectsBasicAuthenticationWithAuthLogin) {
  SendArguments args = ToOpenServer();
  args.userName = "faxuser";
  args.password = "secret";
  ASSERT_EQ(Send(args), S_OK) << error_;

  const std::vector<std::string> record = Record();
  const std::vector<std::string> expectedFields = {
      kConfig + "smtpauthenticate].put_Value VT_I4 1",
      kConfig + "sendusername].put_Value VT_BSTR \"faxuser\"",
      kConfig + "sendpassword].put_Value VT_BSTR \"secret\"",
      "Configuration.Fields.Update",
  };
  EXPECT_EQ(std::vector<std::string>(record.begin() + 7, record.begin() + 11), expectedFields);
  const std::vector<ReceivedMessage> received = open_.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].authLogin, "faxuser");
}

TEST_F(CdoSendTest, PasswordWithoutUserNameSendsAnonymously) {
  SendArguments args = ToOpenServer();
  args.password = "secret";
  ASSERT_EQ(Send(args), S_OK) << error_;

  const std::vector<std::string> record = Record();
  EXPECT_TRUE(Contains(record, kConfig + "smtpauthenticate].put_Value VT_I4 0"));
  EXPECT_FALSE(AnyStartsWith(record, kConfig + "sendusername]"));
  EXPECT_FALSE(AnyStartsWith(record, kConfig + "sendpassword]"));
  const std::vector<ReceivedMessage> received = open_.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].authLogin, "");
}

TEST_F(CdoSendTest, UserNameWithEmptyPasswordIsBasicAuthenticationThatTheServerRefuses) {
  SendArguments args = ToOpenServer();
  args.userName = "faxuser";
  EXPECT_EQ(Send(args), static_cast<HRESULT>(0x80040215));

  const std::vector<std::string> record = Record();
  EXPECT_TRUE(Contains(record, kConfig + "smtpauthenticate].put_Value VT_I4 1"));
  EXPECT_TRUE(Contains(record, kConfig + "sendpassword].put_Value VT_BSTR \"\""));
  EXPECT_TRUE(StartsWith(error_, "error 0x80040215  : IDispatch error #21 : ")) << error_;
  EXPECT_NE(error_.find("The server response was: 535"), std::string::npos) << error_;
  EXPECT_TRUE(open_.Received().empty());
}

TEST_F(CdoSendTest, NtlmWritesAuthenticationTwoAndNoAccount) {
  SendArguments args = ToOpenServer();
  args.ntlm = true;
  args.userName = "faxuser";
  args.password = "secret";
  Send(args);

  const std::vector<std::string> record = Record();
  EXPECT_TRUE(Contains(record, kConfig + "smtpauthenticate].put_Value VT_I4 2"));
  EXPECT_FALSE(AnyStartsWith(record, kConfig + "sendusername]"));
  EXPECT_FALSE(AnyStartsWith(record, kConfig + "sendpassword]"));
}

TEST_F(CdoSendTest, SslAddsAnI2TrueFieldAndSuppressesDeliveryNotices) {
  SendArguments args = ToOpenServer();
  args.useSsl = true;
  args.notifyOnSuccess = args.notifyOnFailure = args.notifyOnDelay = true;
  Send(args);

  const std::vector<std::string> record = Record();
  ASSERT_GE(record.size(), 10u);
  EXPECT_EQ(record[8], kConfig + "smtpusessl].put_Value VT_I2 -1");
  EXPECT_EQ(record[9], "Configuration.Fields.Update");
  EXPECT_FALSE(AnyStartsWith(record, "Message.put_DSNOptions"));
}

TEST_F(CdoSendTest, DeliveryNoticesAddUpTheRequestedKinds) {
  const struct {
    bool success, failure, delay;
    const char* expected;
  } cases[] = {
      {true, false, false, "Message.put_DSNOptions 4"},
      {false, true, true, "Message.put_DSNOptions 10"},
      {true, true, true, "Message.put_DSNOptions 14"},
  };
  for (const auto& c : cases) {
    ClearRecord();
    SendArguments args = ToOpenServer();
    args.notifyOnSuccess = c.success;
    args.notifyOnFailure = c.failure;
    args.notifyOnDelay = c.delay;
    ASSERT_EQ(Send(args), S_OK) << error_;
    const std::vector<std::string> record = Record();
    EXPECT_TRUE(Contains(record, c.expected)) << c.expected;
    // The notice follows the texts and precedes the attachment.
    const auto notice = std::find(record.begin(), record.end(), c.expected);
    ASSERT_NE(notice, record.end());
    EXPECT_TRUE(StartsWith(notice[-1], "Message.put_TextBody "));
    EXPECT_TRUE(StartsWith(notice[1], "Message.AddAttachment "));
  }
  ClearRecord();
  SendArguments none = ToOpenServer();
  ASSERT_EQ(Send(none), S_OK) << error_;
  EXPECT_FALSE(AnyStartsWith(Record(), "Message.put_DSNOptions"));
}

TEST_F(CdoSendTest, PickupWritesOnlySendUsingAndLeavesAnEmlFile) {
  for (const std::wstring& name : PickupMessages()) DeleteFileW((kPickupFolder + name).c_str());
  SendArguments args = ToOpenServer();
  args.usePickup = true;
  args.userName = "faxuser";
  args.password = "secret";
  args.useSsl = true;
  ASSERT_EQ(Send(args), S_OK) << error_;
  EXPECT_EQ(error_, "");

  const std::vector<std::string> record = Record();
  ASSERT_GE(record.size(), 6u);
  EXPECT_EQ(record[3], kConfig + "sendusing].put_Value VT_I4 1");
  EXPECT_EQ(record[4], "Configuration.Fields.Update");
  EXPECT_TRUE(open_.Received().empty());

  const std::vector<std::wstring> messages = PickupMessages();
  ASSERT_EQ(messages.size(), 1u);
  const std::string eml = ReadWholeFile(kPickupFolder + messages[0]);
  EXPECT_NE(eml.find("\r\nTo: 61299991234@t37gw.corvisk.example\r\n"), std::string::npos);
  EXPECT_NE(eml.find("\r\nX-Corvisk-fax-password: s3cret\r\n"), std::string::npos);
  EXPECT_NE(eml.find("Content-Type: image/tiff"), std::string::npos);
}

TEST_F(CdoSendTest, EmptyHeaderNameWritesNoMessageField) {
  SendArguments args = ToOpenServer();
  args.headerName = "";
  args.headerValue = "ignored";
  ASSERT_EQ(Send(args), S_OK) << error_;
  EXPECT_FALSE(AnyStartsWith(Record(), "Message.get_Fields"));
  EXPECT_FALSE(AnyStartsWith(Record(), "Message.Fields"));

  args = ToOpenServer();
  EXPECT_EQ(
      SendCDOMessageNoHeader("", "", args.server.c_str(), args.to.c_str(), args.from.c_str(), args.subject.c_str(), "",
                             args.attachment.c_str(), false, false, false, args.port, 10, false, false, error_, false),
      S_OK)
      << error_;
  EXPECT_FALSE(AnyStartsWith(Record(), "Message.get_Fields"));
  const std::vector<ReceivedMessage> received = open_.Received();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].Header("X-Corvisk-fax-password"), "");
  EXPECT_EQ(received[1].Header("X-Corvisk-fax-password"), "");
}

TEST_F(CdoSendTest, NullOrEmptyAttachmentSendsWithoutAttachment) {
  SendArguments args = ToOpenServer();
  args.nullAttachment = true;
  ASSERT_EQ(Send(args), S_OK) << error_;
  args.nullAttachment = false;
  args.attachment.clear();
  ASSERT_EQ(Send(args), S_OK) << error_;

  EXPECT_FALSE(AnyStartsWith(Record(), "Message.AddAttachment"));
  const std::vector<ReceivedMessage> received = open_.Received();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_TRUE(received[0].attachments.empty());
  EXPECT_TRUE(received[1].attachments.empty());
}

TEST_F(CdoSendTest, NothingListeningGivesFailedToConnect) {
  SendArguments args = ToOpenServer();
  args.port = UnusedPort();
  EXPECT_EQ(Send(args), static_cast<HRESULT>(0x80040213));
  EXPECT_TRUE(StartsWith(error_, "error 0x80040213  : IDispatch error #19 : ")) << error_;
  EXPECT_NE(error_.find("failed to connect"), std::string::npos) << error_;

  // "<LOCAL>" is no pickup request but a host name, and no host has it.
  args.server = "<LOCAL>";
  EXPECT_EQ(Send(args), static_cast<HRESULT>(0x80040213));
  EXPECT_TRUE(StartsWith(error_, "error 0x80040213  : IDispatch error #19 : ")) << error_;
  EXPECT_TRUE(Contains(Record(), kConfig + "smtpserver].put_Value VT_BSTR \"<LOCAL>\""));
}

TEST_F(CdoSendTest, RefusedRecipientQuotesTheServer) {
  SendArguments args = ToOpenServer();
  args.to = "refused@gateway.test";
  EXPECT_EQ(Send(args), static_cast<HRESULT>(0x8004020F));
  EXPECT_EQ(error_,
            "error 0x8004020f  : IDispatch error #15 : The server rejected one or more recipient addresses. The "
            "server response was: 550 5.1.1 <refused@gateway.test>: Recipient address rejected: no such fax "
            "account");
  EXPECT_TRUE(open_.Received().empty());
}

TEST_F(CdoSendTest, WrongCredentialsAreAnAuthenticationFailure) {
  SendArguments args = ToOpenServer();
  args.userName = "faxuser";
  args.password = "wrong";
  EXPECT_EQ(Send(args), static_cast<HRESULT>(0x80040215));
  EXPECT_NE(error_.find("The server rejected the logon attempt. The server response was: 535"), std::string::npos)
      << error_;
}

TEST_F(CdoSendTest, ServerThatRequiresAuthenticationRefusesAnonymousSender) {
  SendArguments args = ToOpenServer();
  args.port = locked_.Port();
  EXPECT_EQ(Send(args), static_cast<HRESULT>(0x8004020E));
  EXPECT_NE(error_.find("The server response was: 530"), std::string::npos) << error_;

  args.userName = "faxuser";
  args.password = "secret";
  EXPECT_EQ(Send(args), S_OK) << error_;
  ASSERT_EQ(locked_.Received().size(), 1u);
  EXPECT_EQ(locked_.Received()[0].authLogin, "faxuser");
}

TEST_F(CdoSendTest, ConnectionDroppedInTheMiddleOfData) {
  SendArguments args = ToOpenServer();
  args.port = drop_.Port();
  EXPECT_EQ(Send(args), static_cast<HRESULT>(0x80040212));
  EXPECT_EQ(error_, "error 0x80040212  : IDispatch error #18 : The transport lost its connection to the server.");
  EXPECT_TRUE(drop_.Received().empty());
}

TEST_F(CdoSendTest, ServerThatNeverAnswersIsBoundedByTheTimeout) {
  SendArguments args = ToOpenServer();
  args.port = GatewayServer("silent").Port();
  args.timeoutSeconds = 1;
  EXPECT_EQ(Send(args), static_cast<HRESULT>(0x80040213));
  EXPECT_EQ(error_, "error 0x80040213  : IDispatch error #19 : The server sent no greeting within 1 s.");
  EXPECT_TRUE(Contains(Record(), kConfig + "smtpconnectiontimeout].put_Value VT_I4 1"));
}

TEST_F(CdoSendTest, UnreadableAttachmentStopsBeforeSend) {
  SendArguments args = ToOpenServer();
  args.attachment = L"C:\\no such folder\\T37.tif";
  const HRESULT result = Send(args);
  EXPECT_EQ(result, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(StartsWith(error_, "error 0x80070003  : " + StandardMessage(result) + " : ")) << error_;
  EXPECT_NE(error_.find("C:\\no such folder\\T37.tif"), std::string::npos) << error_;
  EXPECT_FALSE(AnyStartsWith(Record(), "Message.Send"));
}

TEST_F(CdoSendTest, ErrorTextIsEmptiedBySuccess) {
  SendArguments args = ToOpenServer();
  args.port = UnusedPort();
  ASSERT_TRUE(FAILED(Send(args)));
  std::string text = error_;
  ASSERT_FALSE(text.empty());
  args.port = open_.Port();
  EXPECT_EQ(SendCDOMessage("", "", "127.0.0.1", args.to.c_str(), args.from.c_str(), "s", "", nullptr, "", "", false,
                           false, false, args.port, 10, false, false, text, false),
            S_OK);
  EXPECT_EQ(text, "");
}

TEST_F(CdoSendTest, ConcurrentSendsUseTheirOwnObjects) {
  std::vector<HRESULT> results(4, E_FAIL);
  std::vector<std::string> errors(results.size());
  const long port = open_.Port();
  std::vector<std::thread> senders;
  for (size_t i = 0; i < results.size(); ++i) {
    senders.emplace_back([&, i] {
      CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      const std::string to = std::to_string(i) + "@t37gw.corvisk.example";
      results[i] = SendCDOMessage("", "", "127.0.0.1", to.c_str(), "faxes@customer.example", "s", "", nullptr, "", "",
                                  false, false, false, port, 10, false, false, errors[i], false);
      CoUninitialize();
    });
  }
  for (std::thread& sender : senders) sender.join();
  for (size_t i = 0; i < results.size(); ++i) EXPECT_EQ(results[i], S_OK) << errors[i];
  EXPECT_EQ(open_.Received().size(), results.size());
}

// Without COM on the thread nothing can be created: the creation's HRESULT
// and the system's text for it, with no description.
TEST(CdoSendWithoutCom, CreationFailureGivesTheSystemMessage) {
  std::string error;
  HRESULT result = S_OK;
  std::thread([&] {
    result = SendCDOMessage("", "", "127.0.0.1", "a@b", "c@d", "s", "", nullptr, "", "", false, false, false, 25, 10,
                            false, false, error, false);
  }).join();
  EXPECT_EQ(result, CO_E_NOTINITIALIZED);
  EXPECT_EQ(error, "error 0x800401f0  : " + StandardMessage(CO_E_NOTINITIALIZED));
}

}  // namespace
