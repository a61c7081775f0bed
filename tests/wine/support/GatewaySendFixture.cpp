#include "GatewaySendFixture.h"

#include <thread>

#include "SettingsKey.h"

namespace corvisk::test {

using testbed::CapturedEvent;
using testbed::StatusPacket;

void GatewayTest::SetUp() {
  ProviderTest::SetUp();
  DeleteSettingsKey();
  WriteMinimalSettings();
  WriteSetting("SMTPServer", "127.0.0.1");
  WriteSetting("SMTPPort", std::to_string(GatewayServer("open").Port()));
  WriteSetting("DebugOutput", "Y");
}

void GatewayTest::TearDown() {
  testbed::StopSimulatingPlatform();
  DeleteSettingsKey();
  ProviderTest::TearDown();
}

std::string AttachmentName(const ReceivedMessage& message) {
  return message.attachments.empty() ? std::string()
                                     : message.attachments[0].substr(0, message.attachments[0].find(' '));
}

namespace {

std::vector<std::string> HeaderNames(const ReceivedMessage& message) {
  std::vector<std::string> names;
  for (const auto& header : message.headers) names.push_back(header.first);
  return names;
}

std::string Narrow(const wchar_t* text) { return std::string(text, text + wcslen(text)); }

}  // namespace

StatusPacket FinalPacket(const std::vector<StatusPacket>& packets) {
  return packets.empty() ? StatusPacket{} : packets.back();
}

std::vector<StatusPacket> GatewayTest::SendOnJob(HANDLE job, const wchar_t* number, const std::wstring& document) {
  FAX_SEND send = SendFor(number);
  send.FileName = const_cast<wchar_t*>(document.c_str());
  SetLastError(kUntouched);
  result_ = Host().FaxDevSend(job, &send, nullptr);
  lastError_ = GetLastError();
  return TakePackets();
}

std::vector<BOOL> GatewayTest::SendConcurrently(const std::vector<std::wstring>& numbers,
                                                const std::vector<std::wstring>& documents) {
  std::vector<HANDLE> jobs;
  for (size_t i = 0; i < numbers.size(); ++i) jobs.push_back(StartJob(100 + i));
  std::vector<BOOL> results(numbers.size(), FALSE);
  std::vector<std::thread> senders;
  for (size_t i = 0; i < numbers.size(); ++i) {
    senders.emplace_back([&, i] {
      FAX_SEND send = SendFor(numbers[i].c_str());
      send.FileName = const_cast<wchar_t*>(documents[i].c_str());
      results[i] = Host().FaxDevSend(jobs[i], &send, nullptr);
    });
  }
  for (std::thread& sender : senders) sender.join();
  for (HANDLE job : jobs) EndJob(job);
  TakePackets();
  return results;
}

void GatewaySendTest::SetUp() {
  GatewayTest::SetUp();
  WriteTransportSettings();
  testbed::SimulatePlatform({5, 0, false});
  StartService();
  job_ = StartJob();
}

void GatewaySendTest::TearDown() {
  EndJob(job_);
  testbed::StopSimulatingPlatform();
  DeleteSettingsKey();
  EXPECT_TRUE(JobTempFiles().empty()) << "the send left files of the job behind";
  ProviderTest::TearDown();
}

StatusPacket GatewaySendTest::Send(const wchar_t* number, const std::wstring& document) {
  const std::vector<StatusPacket> packets = SendOnJob(job_, number, document);
  EXPECT_EQ(packets.size(), 2u);
  return FinalPacket(packets);
}

std::optional<ReceivedMessage> GatewaySendTest::ExpectSameMessageAsCdo(const char* transport, const wchar_t* cdoNumber,
                                                                       const wchar_t* number,
                                                                       const std::wstring& document) {
  WriteSetting("MailTransport", "SMTP");
  EXPECT_EQ(Send(cdoNumber, document).statusId, FS_COMPLETED);
  WriteSetting("MailTransport", transport);
  const StatusPacket final = Send(number, document);
  EXPECT_TRUE(result_);
  EXPECT_EQ(final.statusId, FS_COMPLETED);
  EXPECT_EQ(final.pageCount, 3u);

  const auto cdo = FindBySubject(GatewayServer("open"), Narrow(cdoNumber));
  const auto sent = FindBySubject(GatewayServer("open"), Narrow(number));
  if (!cdo || !sent) {
    ADD_FAILURE() << "a message did not arrive";
    return sent;
  }
  EXPECT_EQ(sent->recipients, std::vector<std::string>{Narrow(number) + "@t37gw.corvisk.example"});
  EXPECT_EQ(HeaderNames(*sent), HeaderNames(*cdo));
  for (const char* name : {"From", "Sender", "X-Corvisk-fax-password", "MIME-Version"})
    EXPECT_EQ(sent->Header(name), cdo->Header(name)) << name;
  EXPECT_EQ(sent->body, cdo->body);
  if (sent->attachments.size() != 1u || cdo->attachments.size() != 1u) {
    ADD_FAILURE() << "not one attachment each";
    return sent;
  }
  EXPECT_EQ(sent->attachments[0].substr(sent->attachments[0].find(' ')),
            cdo->attachments[0].substr(cdo->attachments[0].find(' ')))
      << "type and size";
  EXPECT_EQ(sent->AttachmentBytes(AttachmentName(*sent)), cdo->AttachmentBytes(AttachmentName(*cdo)));
  return sent;
}

void GatewaySendTest::ExpectFailure(const StatusPacket& final, const std::string& textStart) {
  EXPECT_FALSE(result_);
  EXPECT_EQ(lastError_, kUnexpected);
  EXPECT_EQ(final.statusId, FS_FATAL_ERROR);
  EXPECT_EQ(final.errorCode, kUnexpected);
  const std::vector<CapturedEvent> events = testbed::Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, EVENTLOG_ERROR_TYPE);
  const std::string& text = events[0].strings.at(0);
  EXPECT_EQ(text.rfind(textStart, 0), 0u) << text;
  EXPECT_NE(testbed::DebugText().find("SendCDOMessage failed\r\n" + text + "\r\n"), std::string::npos)
      << testbed::DebugText();
}

void GatewaySendTest::ExpectStalledSendTimedOut(const StatusPacket& final, const std::string& host) {
  EXPECT_EQ(final.statusId, FS_FATAL_ERROR);
  const std::vector<CapturedEvent> events = testbed::Events();
  ASSERT_EQ(events.size(), 1u);
  const std::string& text = events[0].strings.at(0);
  if (text.find("(WinHTTP error 12152)") != std::string::npos)
    GTEST_SKIP() << "Wine's WinHTTP does not end a TLS request at its receive time-out; it waited for the stand-in to "
                    "close the connection: "
                 << text;
  EXPECT_EQ(text.rfind(host + " did not answer within 4 seconds (WinHTTP error 12002)", 0), 0u) << text;
}

void GatewaySendTest::ExpectSendFaults(const std::vector<SendFault>& faults, const std::wstring& document,
                                       const std::function<size_t()>& sendRequests) {
  for (const SendFault& fault : faults) {
    const std::string number(fault.number, fault.number + wcslen(fault.number));
    SCOPED_TRACE(number);
    testbed::ClearCapture();
    const size_t before = sendRequests();
    const StatusPacket final = Send(fault.number, document);
    if (*fault.textStart) {
      ExpectFailure(final, fault.textStart);
      EXPECT_FALSE(FindBySubject(GatewayServer("open"), number));
    } else {
      EXPECT_EQ(final.statusId, FS_COMPLETED);
      EXPECT_TRUE(FindBySubject(GatewayServer("open"), number));
    }
    EXPECT_EQ(sendRequests() - before, fault.requests);
  }
}

void GatewaySendTest::ExpectArrangedFaults(const std::vector<ArrangedFault>& faults, const std::wstring& numberStem,
                                           const std::wstring& document,
                                           const std::function<size_t()>& messageRequests) {
  int index = 0;
  for (const ArrangedFault& fault : faults) {
    SCOPED_TRACE(fault.textStart);
    WriteTransportSettings();
    fault.arrange();
    testbed::ClearCapture();
    const size_t before = messageRequests();
    const std::wstring number = numberStem + std::to_wstring(10 + index++);
    ExpectFailure(Send(number.c_str(), document), fault.textStart);
    EXPECT_EQ(messageRequests(), before) << "no message without a token";
    EXPECT_FALSE(FindBySubject(GatewayServer("open"), std::string(number.begin(), number.end())));
  }
}

}  // namespace corvisk::test
