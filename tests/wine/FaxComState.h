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
// handing out an object.
void InjectFailure(const wchar_t* member, HRESULT result, const wchar_t* description = nullptr);
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
