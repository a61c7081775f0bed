#pragma once
// Details of the running job from the fax service: its identifier for the
// subject and, on servers, its sender's e-mail address. Neither lookup lets
// an exception out; a result other than 0 comes with a diagnostic text.
#include <windows.h>

#include <string>

namespace corvisk {

inline constexpr DWORD kLookupDeviceId = 0x77000000;

struct JobDetails {
  std::string jobId;
  std::string email;
  std::string diagnostic;
};

// Asks the fax service's own COM server, in this process.
HRESULT GetJobID(DWORD deviceId, JobDetails& details);
// Asks the QuendrySuppDetails server, which runs under an account with
// rights to the fax service.
HRESULT GetSuppJobDetails(DWORD deviceId, JobDetails& details);

}  // namespace corvisk
