#pragma once
// The fax COM stand-in's state as a test seeds it: emptied at the start and
// the end of each test, jobs listed in queue order.
#include <windows.h>

#include <initializer_list>
#include <string>

namespace corvisk::test {

inline constexpr DWORD kInProgress = 0x2;
inline constexpr DWORD kPending = 0x1;
inline constexpr DWORD kProviderDevice = 0x7700;  // the upper half of 0x77000000

struct SeededJob {
  const wchar_t* id;
  DWORD deviceId;
  DWORD status;
  const wchar_t* senderEmail;
};

void SeedJobs(std::initializer_list<SeededJob> jobs);
void SeedDefaultSender(const wchar_t* email);
// The member fails with result; a result of 0 makes it succeed without
// handing out an object. The first skip calls still succeed; times, when not
// 0, ends the failure after that many failing calls.
void InjectFailure(const wchar_t* member, HRESULT result, const wchar_t* description = nullptr, DWORD skip = 0,
                   DWORD times = 0);
// Extended devices and legacy ports in listing order, numbered from 1.
void SeedDevice(int number, const wchar_t* name, DWORD sendEnabled, DWORD receiveMode);
void SeedPort(int number, const wchar_t* name, DWORD send, DWORD receive);
DWORD DeviceNumber(int number, const wchar_t* value);
DWORD PortNumber(int number, const wchar_t* value);
// The server name of the last Connect, and how many there were.
std::wstring ConnectedServerName();
DWORD ConnectCount();

// Empties the state when constructed and when destroyed.
class FaxServerState {
 public:
  FaxServerState();
  FaxServerState(const FaxServerState&) = delete;
  FaxServerState& operator=(const FaxServerState&) = delete;
  ~FaxServerState();
};

}  // namespace corvisk::test
