#include "FaxComState.h"

#include "StandInState.h"

namespace corvisk::test {

namespace standin = corvisk::testbed::faxstandin;

void SeedJobs(std::initializer_list<SeededJob> jobs) {
  int number = 0;
  for (const SeededJob& job : jobs) {
    const std::wstring key = L"Jobs\\" + std::to_wstring(++number);
    standin::WriteText(key, L"Id", job.id);
    standin::WriteNumber(key, L"DeviceId", job.deviceId);
    standin::WriteNumber(key, L"Status", job.status);
    if (job.senderEmail) standin::WriteText(key, L"SenderEmail", job.senderEmail);
  }
}

void SeedDefaultSender(const wchar_t* email) { standin::WriteText(L"", L"DefaultSenderEmail", email); }

void InjectFailure(const wchar_t* member, HRESULT result, const wchar_t* description, DWORD skip, DWORD times) {
  const std::wstring key = std::wstring(L"Failures\\") + member;
  standin::WriteNumber(key, L"Result", static_cast<DWORD>(result));
  if (description) standin::WriteText(key, L"Description", description);
  if (skip) standin::WriteNumber(key, L"Skip", skip);
  if (times) standin::WriteNumber(key, L"Times", times);
}

void SeedDevice(int number, const wchar_t* name, DWORD sendEnabled, DWORD receiveMode) {
  const std::wstring key = L"Devices\\" + std::to_wstring(number);
  standin::WriteText(key, L"Name", name);
  standin::WriteNumber(key, L"SendEnabled", sendEnabled);
  standin::WriteNumber(key, L"ReceiveMode", receiveMode);
}

void SeedPort(int number, const wchar_t* name, DWORD send, DWORD receive) {
  const std::wstring key = L"Ports\\" + std::to_wstring(number);
  standin::WriteText(key, L"Name", name);
  standin::WriteNumber(key, L"Send", send);
  standin::WriteNumber(key, L"Receive", receive);
}

DWORD DeviceNumber(int number, const wchar_t* value) {
  return standin::ReadNumber(L"Devices\\" + std::to_wstring(number), value);
}

DWORD PortNumber(int number, const wchar_t* value) {
  return standin::ReadNumber(L"Ports\\" + std::to_wstring(number), value);
}

std::wstring ConnectedServerName() { return standin::ReadText(L"", L"Connected"); }

DWORD ConnectCount() { return standin::ReadNumber(L"", L"Connects"); }

FaxServerState::FaxServerState() { standin::ClearState(); }
FaxServerState::~FaxServerState() { standin::ClearState(); }

}  // namespace corvisk::test
