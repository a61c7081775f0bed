#pragma once
// Tests that send whole faxes through the provider to the open gateway mail
// server: the settings of such a send, the sends themselves, and what a
// failed one must show.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "GatewayMailbox.h"
#include "ProviderFixture.h"

namespace corvisk::test {

// Settings that send to the open gateway server, with the job log on; the
// platform stops being simulated and the settings go at the end.
// The last of a job's packets: its final status.
testbed::StatusPacket FinalPacket(const std::vector<testbed::StatusPacket>& packets);

// The name of a received message's first attachment; empty without one.
std::string AttachmentName(const ReceivedMessage& message);

class GatewayTest : public ProviderTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Sends document to number as job and returns the job's packets; result_
  // and lastError_ keep the outcome.
  std::vector<testbed::StatusPacket> SendOnJob(HANDLE job, const wchar_t* number, const std::wstring& document);
  // Sends each document to its number at once, each as a job of its own.
  std::vector<BOOL> SendConcurrently(const std::vector<std::wstring>& numbers,
                                     const std::vector<std::wstring>& documents);

  BOOL result_ = FALSE;
  DWORD lastError_ = 0;
};

// One job of the provider started on Windows 2000, which makes no job lookup
// and so keeps the sends free of its pause; no file of the job may be left.
class GatewaySendTest : public GatewayTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The transport's own settings, written before the service starts and
  // again before each arranged fault.
  virtual void WriteTransportSettings() {}

  // Sends the document (the fixture's default fax) and expects the two packets.
  testbed::StatusPacket Send(const wchar_t* number) { return Send(number, TestFax(defaultFax_)); }
  testbed::StatusPacket Send(const wchar_t* number, const std::wstring& document);
  // The job failed as every transport failure does, with an error event and
  // log lines that start with textStart.
  void ExpectFailure(const testbed::StatusPacket& final, const std::string& textStart);
  // A send that stalled once sent ends at the time-out and is not sent
  // again; host is where the provider sent it, with a time-out of 4 seconds.
  // Last in a test: it skips the rest where Wine cannot show the time-out.
  void ExpectStalledSendTimedOut(const testbed::StatusPacket& final, const std::string& host);

  // Sends document to cdoNumber through CDO, then to number through the
  // transport (the setting MailTransport): both go out, and what the
  // gateway receives of the second is what CDO sent, but for its number.
  // The second message is returned for the transport's own checks.
  std::optional<ReceivedMessage> ExpectSameMessageAsCdo(const char* transport, const wchar_t* cdoNumber,
                                                        const wchar_t* number, const std::wstring& document);

  // A fault the stand-in plays for a fax number.
  struct SendFault {
    const wchar_t* number;
    const char* textStart;  // empty: the fax goes out after the service's wait
    size_t requests;        // the sends asked of the stand-in
  };
  // Sends document to each fault's number: the failure it gives, or the
  // message that went out, and the requests it took as sendRequests counts.
  void ExpectSendFaults(const std::vector<SendFault>& faults, const std::wstring& document,
                        const std::function<size_t()>& sendRequests);

  // A fault arranged on the transport's settings.
  struct ArrangedFault {
    std::function<void()> arrange;
    const char* textStart;
  };
  // Each fault arranged on the transport's settings written afresh: the send
  // of document to a number of its own (numberStem and 10, 11, ...) fails
  // with the fault's text; no message goes out and none is asked of the
  // stand-in, as messageRequests counts.
  void ExpectArrangedFaults(const std::vector<ArrangedFault>& faults, const std::wstring& numberStem,
                            const std::wstring& document, const std::function<size_t()>& messageRequests);

  const wchar_t* defaultFax_ = L"fine3.tif";
  HANDLE job_ = nullptr;
};

}  // namespace corvisk::test
