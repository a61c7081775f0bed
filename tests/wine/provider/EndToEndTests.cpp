// The provider's main job end to end: a fax driven through the FaxDev entry
// points, submitted through CDO to a real SMTP server (aiosmtpd), and what
// that server received.
#include <windows.h>
#include <wincrypt.h>

#include "ChildProcess.h"
#include "GatewayMailbox.h"
#include "GatewaySendFixture.h"
#include "TestDocuments.h"
#include "SettingsKey.h"
#include "settings/PasswordCodec.h"

using namespace corvisk;
using namespace corvisk::test;
using namespace corvisk::testbed;

namespace {

constexpr char kSender[] = "sender@example.com";
constexpr char kGatewayDomain[] = "t37gw.corvisk.example";
constexpr wchar_t kPickupFolder[] = L"C:\\inetpub\\mailroot\\Pickup\\";

std::vector<std::wstring> PickupFiles() {
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((std::wstring(kPickupFolder) + L"*.eml").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do files.push_back(kPickupFolder + std::wstring(found.cFileName));
  while (FindNextFileW(search, &found));
  FindClose(search);
  return files;
}

// A one-page document of its own for each index: an uncompressed 32 x 1
// page whose single strip is the index.
std::wstring WriteOwnDocument(const std::wstring& folder, unsigned index) {
  return WriteOneStripDocument(folder + L"own" + std::to_wstring(index) + L".tif",
                               {{256, false, 32},
                                {257, false, 1},
                                {258, false, 1},
                                {259, false, 1},
                                {262, false, 0},
                                {273, true, 0},
                                {278, false, 1},
                                {279, true, 4}},
                               std::string(reinterpret_cast<const char*>(&index), 4));
}

// The decoded bytes of a pickup message's one base64 attachment.
std::string PickupAttachment(const std::string& message) {
  const size_t part = message.find("Content-Disposition: attachment");
  const size_t start = message.find("\r\n\r\n", part);
  const size_t end = message.find("\r\n--", start + 4);
  if (part == std::string::npos || start == std::string::npos || end == std::string::npos) return std::string();
  const std::string encoded = message.substr(start + 4, end - start - 4);
  DWORD size = 0;
  if (!CryptStringToBinaryA(encoded.c_str(), static_cast<DWORD>(encoded.size()), CRYPT_STRING_BASE64, nullptr, &size,
                            nullptr, nullptr))
    return std::string();
  std::string bytes(size, '\0');
  CryptStringToBinaryA(encoded.c_str(), static_cast<DWORD>(encoded.size()), CRYPT_STRING_BASE64,
                       reinterpret_cast<BYTE*>(bytes.data()), &size, nullptr, nullptr);
  return bytes;
}

class EndToEndTest : public GatewaySendTest {
 protected:
  void UseServer(const char* name) { WriteSetting("SMTPPort", std::to_string(GatewayServer(name).Port())); }
};

TEST_F(EndToEndTest, FaxArrivesAsOneMessageWithTheRestructuredDocument) {
  const StatusPacket final = Send(L"+61 (2) 9999 1234");
  EXPECT_TRUE(result_);
  EXPECT_EQ(lastError_, 0u);
  EXPECT_EQ(final.statusId, FS_COMPLETED);
  EXPECT_EQ(final.errorCode, 0u);
  EXPECT_EQ(final.pageCount, 3u);

  const auto message = FindBySubject(GatewayServer("open"), "+61299991234");
  ASSERT_TRUE(message);
  const std::string recipient = std::string("+61299991234@") + kGatewayDomain;
  EXPECT_EQ(message->recipients, std::vector<std::string>{recipient});
  EXPECT_EQ(message->mailFrom, kSender);
  EXPECT_EQ(message->Header("To"), recipient);
  EXPECT_EQ(message->Header("From"), kSender);
  EXPECT_EQ(message->Header("Sender"), kSender);
  EXPECT_EQ(message->Header("X-Corvisk-fax-password"), "gateway-secret");
  EXPECT_EQ(message->authLogin, "") << "no account name: anonymous submission";
  ASSERT_EQ(message->attachments.size(), 1u);
  const std::string name = message->attachments[0].substr(0, message->attachments[0].find(' '));
  EXPECT_EQ(name.rfind("Cor", 0), 0u) << name;
  EXPECT_EQ(name.substr(name.size() - 6), "37.tif") << name;
  EXPECT_EQ(message->AttachmentBytes(name), RestructuredByFaxtiff(TestFax(L"fine3.tif")));
}

TEST_F(EndToEndTest, AccountNameSendsAuthLoginAndNoNameSendsAnonymously) {
  WriteSetting("SMTPUserName", "faxuser");
  WriteSetting("SMTPPasswordEnc", EncodePassword("secret"));
  EXPECT_EQ(Send(L"0299990001").statusId, FS_COMPLETED);
  const auto withAccount = FindBySubject(GatewayServer("open"), "0299990001");
  ASSERT_TRUE(withAccount);
  EXPECT_EQ(withAccount->authLogin, "faxuser");

  WriteSetting("SMTPUserName", "");
  EXPECT_EQ(Send(L"0299990002").statusId, FS_COMPLETED);
  const auto anonymous = FindBySubject(GatewayServer("open"), "0299990002");
  ASSERT_TRUE(anonymous);
  EXPECT_EQ(anonymous->authLogin, "") << "an empty account name sends anonymously whatever the password";
}

TEST_F(EndToEndTest, NothingListeningFailsTheJob) {
  WriteSetting("SMTPPort", std::to_string(UnusedPort()));
  ExpectFailure(Send(L"0299990003"), "error 0x80040213 ");
}

TEST_F(EndToEndTest, RefusedRecipientFailsTheJob) { ExpectFailure(Send(L"0000"), "error 0x8004020f "); }

TEST_F(EndToEndTest, RefusedCredentialsFailTheJob) {
  WriteSetting("SMTPUserName", "faxuser");
  WriteSetting("SMTPPasswordEnc", EncodePassword("wrong"));
  ExpectFailure(Send(L"0299990004"), "error 0x80040215 ");
}

TEST_F(EndToEndTest, ConnectionDroppedInTheMiddleOfDataFailsTheJob) {
  UseServer("drop");
  ExpectFailure(Send(L"0299990005"), "error 0x80040212 ");
}

TEST_F(EndToEndTest, ServerThatNeverAnswersIsBoundedByTheTimeOut) {
  UseServer("silent");
  WriteSetting("SMTPTimeout", "2");
  ExpectFailure(Send(L"0299990006"), "error 0x80040213 ");
}

TEST_F(EndToEndTest, ErrorTextWithFormatCharactersIsWrittenAsItIs) {
  // Regression: a server reply quoting "%s%n" must never reach a format.
  const StatusPacket final = Send(L"%s%n");
  ExpectFailure(final, "error 0x8004020f ");
  EXPECT_NE(Events().at(0).strings.at(0).find("%s%n@"), std::string::npos) << Events().at(0).strings.at(0);
}

TEST_F(EndToEndTest, LocalServerNameWritesToThePickupFolder) {
  for (const std::wstring& file : PickupFiles()) DeleteFileW(file.c_str());
  WriteSetting("SMTPServer", "<local>");
  EXPECT_EQ(Send(L"0299990007").statusId, FS_COMPLETED);
  const std::vector<std::wstring> files = PickupFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(ReadWholeFile(files[0]).find("Subject: 0299990007\r\n"), std::string::npos);
  DeleteFileW(files[0].c_str());

  WriteSetting("SMTPServer", "<LOCAL>");
  ExpectFailure(Send(L"0299990008"), "error 0x80040213 ");
  EXPECT_TRUE(PickupFiles().empty()) << "only the exact text <local> selects the pickup folder";
}

TEST_F(EndToEndTest, PortThatIsNotANumberKeepsTheDefault) {
  // 2525 is the default; nothing listens there in the tests, so the send fails to connect.
  WriteSetting("SMTPPort", "abc");
  ExpectFailure(Send(L"0299990009"), "error 0x80040213 ");
  ClearCapture();
  WriteSetting("SMTPPort", std::to_string(GatewayServer("open").Port()) + "x");
  EXPECT_EQ(Send(L"0299990010").statusId, FS_COMPLETED) << "leading digits are the port";
}

// Regression: the temporary name's placeholder was deleted right after the
// working copy was made, so a concurrent send could draw the same name and
// overwrite or delete this job's working file: one fax went out with
// another's pages, or not at all. Names are drawn from 1 each time, as many
// sends drawing at once get them; the messages go to the pickup folder, so
// that only the sends run concurrently.
TEST_F(EndToEndTest, ConcurrentSendsEachSendTheirOwnPages) {
  constexpr unsigned kSends = 16;
  DrawTempNamesFromOne(true);
  for (const std::wstring& file : PickupFiles()) DeleteFileW(file.c_str());
  WriteSetting("SMTPServer", "<local>");
  wchar_t temp[MAX_PATH + 1] = L"";
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring folder = std::wstring(temp) + L"own-documents\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  std::vector<std::wstring> documents;
  std::vector<std::pair<std::string, std::string>> expected;  // subject, attachment bytes
  std::vector<std::wstring> numbers;
  for (unsigned i = 0; i < kSends; ++i) {
    documents.push_back(WriteOwnDocument(folder, i));
    expected.emplace_back(std::to_string(5550000 + i), RestructuredByFaxtiff(documents.back()));
    numbers.push_back(std::to_wstring(5550000 + i));
  }
  const std::vector<BOOL> results = SendConcurrently(numbers, documents);
  DrawTempNamesFromOne(false);
  for (unsigned i = 0; i < kSends; ++i) EXPECT_TRUE(results[i]) << "send " << i;
  for (const auto& [subject, bytes] : expected) {
    const std::string message = FindPickedUpMessage("Subject: " + subject);
    EXPECT_FALSE(message.empty()) << subject << " was not sent";
    EXPECT_TRUE(PickupAttachment(message) == bytes) << subject << " carried other pages";
  }
  for (const std::wstring& file : PickupFiles()) DeleteFileW(file.c_str());
  for (const std::wstring& document : documents) DeleteFileW(document.c_str());
  RemoveDirectoryW(folder.c_str());
}

// A fax user types the number, and it becomes the recipient's local part and
// the subject. Regression: "attacker@evil.example;12345" mailed the fax and
// the gateway password to attacker@evil.example as well.
struct RefusedNumber {
  const char* name;
  const wchar_t* dialled;
  const char* marker;  // what no received message may carry; none for the empty number
  const char* event;
};

const RefusedNumber kRefusedNumbers[] = {
    {"Semicolon", L"5551001;attacker", "5551001",
     "Fax number not sent because it contains \";\": \"5551001;attacker\""},
    {"AddressList", L"attacker@evil.example, 5551002", "5551002",
     "Fax number not sent because it contains \"@\": \"attacker@evil.example5551002\""},
    {"AngleBrackets", L"<5551003@evil.example>", "5551003",
     "Fax number not sent because it contains \"<\": \"<5551003@evil.example>\""},
    {"Quotes", L"\"5551004\"", "5551004", "Fax number not sent because it contains \"\\\"\": \"\\\"5551004\\\"\""},
    {"LineBreak", L"5551005\r\nBcc: attacker@evil.example", "5551005",
     "Fax number not sent because it contains \"\\r\": \"5551005\\r\\nBcc:attacker@evil.example\""},
    {"Tab", L"5551006\t", "5551006", "Fax number not sent because it contains \"\\t\": \"5551006\\t\""},
    {"NonAsciiByte", L"5551007\u00e9", "5551007",
     "Fax number not sent because it contains \"\\xE9\": \"5551007\\xE9\""},
    {"Colon", L"5551008:", "5551008", "Fax number not sent because it contains \":\": \"5551008:\""},
    {"OnlySeparators", L"T ( , ) ", nullptr, "Fax number not sent because it is empty: \"\""},
};

// Test names stay the same from build to build.
void PrintTo(const RefusedNumber& number, std::ostream* out) { *out << number.name; }

class RefusedNumberTest : public EndToEndTest, public ::testing::WithParamInterface<RefusedNumber> {};

TEST_P(RefusedNumberTest, FailsTheJobBeforeAnythingIsMadeOrSent) {
  const RefusedNumber& number = GetParam();
  const StatusPacket final = Send(number.dialled);
  EXPECT_FALSE(result_);
  EXPECT_EQ(final.statusId, FS_FATAL_ERROR);
  EXPECT_EQ(final.errorCode, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(lastError_, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  const std::vector<CapturedEvent> events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, EVENTLOG_ERROR_TYPE);
  EXPECT_EQ(events[0].strings, std::vector<std::string>{number.event});
  EXPECT_NE(DebugText().find(std::string(number.event) + "\r\n"), std::string::npos) << DebugText();
  for (const ReceivedMessage& message : GatewayServer("open").Received()) {
    const std::string marker = number.marker ? number.marker : "(none)";
    for (const std::string& recipient : message.recipients) {
      EXPECT_NE(recipient.front(), '@') << "an empty number was sent";
      EXPECT_EQ(recipient.find(marker), std::string::npos) << recipient;
    }
    EXPECT_EQ(message.Header("Subject").find(marker), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(EndToEndTest, RefusedNumberTest, ::testing::ValuesIn(kRefusedNumbers),
                         [](const auto& info) { return std::string(info.param.name); });

struct KeptNumber {
  const char* name;
  const char* number;
};
void PrintTo(const KeptNumber& number, std::ostream* out) { *out << number.name; }

class KeptNumberTest : public EndToEndTest, public ::testing::WithParamInterface<KeptNumber> {};

TEST_P(KeptNumberTest, GoesToExactlyOneRecipient) {
  const std::string number = GetParam().number;
  EXPECT_EQ(Send(std::wstring(number.begin(), number.end()).c_str()).statusId, FS_COMPLETED);
  const auto message = FindBySubject(GatewayServer("open"), number);
  ASSERT_TRUE(message);
  const std::string recipient = number + "@" + kGatewayDomain;
  EXPECT_EQ(message->recipients, std::vector<std::string>{recipient});
  EXPECT_EQ(message->Header("To"), recipient);
}

INSTANTIATE_TEST_SUITE_P(EndToEndTest, KeptNumberTest,
                         ::testing::Values(KeptNumber{"Rfc3192", "FAX=+61299995561/T33S=12"},
                                           KeptNumber{"LettersDotAndDash", "Sales.Desk-5562"},
                                           KeptNumber{"PlusDotDashAndEquals", "+61.2-9999=5563"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
