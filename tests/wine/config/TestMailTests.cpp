// SubmitTestMail on both transports: through the CDO stand-in in this
// process, and through the QuendrySuppEmail server in its own, to the real
// aiosmtpd gateway servers or the pickup folder; and the error text of
// every kind of failure on each path.
#include <gtest/gtest.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "GatewayMailbox.h"
#include "SuppServerSupport.h"
#include "common/Product.h"
#include "config/TestMailTransport.h"
#include "win32/SystemMessage.h"

using namespace corvisk;
using namespace corvisk::test;

namespace {

constexpr char kSubject[] = "CorviskFSP Mail Configuration Test";
const std::string kConfig = "Configuration.Fields[http://schemas.microsoft.com/cdo/configuration/";
constexpr char kStale[] = "stale text from an earlier test";
constexpr HRESULT kFailedToConnect = static_cast<HRESULT>(0x80040213);

class TestMailTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RunServer(L"QuendrySuppEmail.exe", L"-RegServer"); }
  void SetUp() override {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    wchar_t folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"rec", 0, path);
    record_ = path;
    SetEnvironmentVariableW(L"CORVISK_CDO_RECORD", record_.c_str());
    open_.ClearMailbox();
    locked_.ClearMailbox();
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"CORVISK_CDO_RECORD", nullptr);
    DeleteFileW(record_.c_str());
    CoUninitialize();
  }

  // A request to the open server from an address of the test's own.
  TestMailRequest ToOpenServer(const std::string& address) const {
    TestMailRequest request;
    request.address = address;
    request.server = "127.0.0.1";
    request.port = open_.Port();
    request.timeoutSeconds = 10;
    return request;
  }

  HRESULT Submit(const TestMailRequest& request, TestMailTransport transport) {
    // Wine does not suspend a local server's class when its last object
    // goes, so a creation while the previous server ends can fail with
    // REGDB_E_CLASSNOTREG; Windows starts a new server instead.
    if (transport == TestMailTransport::SuppEmail) {
      EXPECT_TRUE(WaitForProcessCount(L"QuendrySuppEmail.exe", 0, 10000));
    }
    error_ = kStale;
    return SubmitTestMail(request, transport, error_);
  }

  // What the CDO stand-in in this process was told, line by line.
  bool Recorded(const std::string& line) const {
    return ("\n" + ReadWholeFile(record_)).find("\n" + line + "\n") != std::string::npos;
  }

  // The one message the server received, addressed from and to address.
  static ReceivedMessage OnlyMessage(const GatewayServer& server, const std::string& address) {
    const std::vector<ReceivedMessage> received = server.Received();
    EXPECT_EQ(received.size(), 1u);
    if (received.empty()) return {};
    const ReceivedMessage& message = received[0];
    EXPECT_EQ(message.mailFrom, address);
    EXPECT_EQ(message.recipients, std::vector<std::string>{address});
    EXPECT_EQ(message.Header("To"), address);
    EXPECT_EQ(message.Header("From"), address);
    EXPECT_EQ(message.Header("Subject"), kSubject);
    EXPECT_EQ(message.attachments, std::vector<std::string>{});
    return message;
  }

  GatewayServer open_{"open"};
  GatewayServer locked_{"locked"};
  std::string error_;
  std::wstring record_;
};

TEST_F(TestMailTest, CdoMessageGoesFromTheAddressToItselfWithTheThankYouBody) {
  ASSERT_EQ(Submit(ToOpenServer("cdo.admin@customer.example"), TestMailTransport::Cdo), S_OK) << error_;
  EXPECT_EQ(error_, "");
  const ReceivedMessage message = OnlyMessage(open_, "cdo.admin@customer.example");
  EXPECT_EQ(message.authLogin, "");
  EXPECT_EQ(message.body, std::string("Thank you for using ") + kMessageCaption + "\r\n");
  EXPECT_EQ(message.body, "Thank you for using CorviskFSP ver 3.0.1\r\n");
  EXPECT_TRUE(Recorded(kConfig + "smtpauthenticate].put_Value VT_I4 0")) << "no NTLM on this path";
  EXPECT_TRUE(Recorded(kConfig + "smtpconnectiontimeout].put_Value VT_I4 10"));
  EXPECT_FALSE(Recorded("Message.get_Fields")) << "no additional header field";
}

TEST_F(TestMailTest, CdoMessageLogsInWithTheAccount) {
  TestMailRequest request = ToOpenServer("login.admin@customer.example");
  request.port = locked_.Port();
  request.account = "faxuser";
  request.password = "secret";
  ASSERT_EQ(Submit(request, TestMailTransport::Cdo), S_OK) << error_;
  EXPECT_EQ(OnlyMessage(locked_, "login.admin@customer.example").authLogin, "faxuser");
  EXPECT_TRUE(Recorded(kConfig + "smtpauthenticate].put_Value VT_I4 1"));
}

TEST_F(TestMailTest, CdoSslRequestAndTheSendersErrorText) {
  TestMailRequest request = ToOpenServer("ssl.admin@customer.example");
  request.ssl = true;
  EXPECT_EQ(Submit(request, TestMailTransport::Cdo), kFailedToConnect);
  EXPECT_TRUE(Recorded(kConfig + "smtpusessl].put_Value VT_I2 -1"));
  EXPECT_EQ(error_,
            "error 0x80040213  : IDispatch error #19 : The CDO stand-in cannot open a secure connection (smtpusessl).");
  EXPECT_TRUE(open_.Received().empty());
}

TEST_F(TestMailTest, CdoLocalServerNameMeansThePickupFolder) {
  TestMailRequest request = ToOpenServer("pickup.cdo@customer.example");
  request.server = "<local>";
  ASSERT_EQ(Submit(request, TestMailTransport::Cdo), S_OK) << error_;
  EXPECT_TRUE(Recorded(kConfig + "sendusing].put_Value VT_I4 1"));
  EXPECT_FALSE(Recorded(kConfig + "smtpserver].put_Value VT_BSTR \"<local>\""));
  const std::string message = FindPickedUpMessage("To: pickup.cdo@customer.example");
  EXPECT_NE(message.find("Subject: " + std::string(kSubject) + "\r\n"), std::string::npos) << message;
}

TEST_F(TestMailTest, ServerMessageGoesFromTheAddressToItselfWithAnEmptyBody) {
  TestMailRequest request = ToOpenServer("ntlm.admin@customer.example");
  request.ntlm = true;
  ASSERT_EQ(Submit(request, TestMailTransport::SuppEmail), S_OK) << error_;
  EXPECT_EQ(error_, "");
  const ReceivedMessage message = OnlyMessage(open_, "ntlm.admin@customer.example");
  EXPECT_EQ(message.authLogin, "") << "the server passes no account of the user's";
  EXPECT_EQ(message.body, "");
}

TEST_F(TestMailTest, ServerPathHonoursPickupAndSsl) {
  TestMailRequest request = ToOpenServer("pickup.server@customer.example");
  request.server = "<local>";
  ASSERT_EQ(Submit(request, TestMailTransport::SuppEmail), S_OK) << error_;
  EXPECT_NE(FindPickedUpMessage("To: pickup.server@customer.example"), "");
  request = ToOpenServer("ssl.server@customer.example");
  request.ssl = true;
  EXPECT_EQ(Submit(request, TestMailTransport::SuppEmail), kFailedToConnect);
  EXPECT_NE(error_.find("(smtpusessl)"), std::string::npos) << error_;
  EXPECT_TRUE(open_.Received().empty());
}

TEST_F(TestMailTest, ServerFailureTextIsPassedOn) {
  TestMailRequest request = ToOpenServer("unreachable@customer.example");
  request.port = UnusedPort();
  const HRESULT result = Submit(request, TestMailTransport::SuppEmail);
  EXPECT_LT(result, 0);
  EXPECT_EQ(error_.rfind("error 0x", 0), 0u) << error_;
}

TEST_F(TestMailTest, ServerFailureWithoutTextIsToldByItsCode) {
  const SilentSuppEmailRegistration silent;
  EXPECT_EQ(Submit(ToOpenServer("silent@customer.example"), TestMailTransport::SuppEmail), E_FAIL);
  EXPECT_EQ(error_, "0x80004005 ");
}

TEST_F(TestMailTest, UnregisteredServerGivesTheCreationError) {
  ASSERT_EQ(RunServer(L"QuendrySuppEmail.exe", L"-UnregServer"), 0u);
  const HRESULT result = Submit(ToOpenServer("nobody@customer.example"), TestMailTransport::SuppEmail);
  RunServer(L"QuendrySuppEmail.exe", L"-RegServer");
  EXPECT_EQ(result, REGDB_E_CLASSNOTREG);
  EXPECT_EQ(error_, StandardMessage(REGDB_E_CLASSNOTREG));
  EXPECT_NE(error_, "");
}

}  // namespace
