#pragma once
// The fax job that a device is sending, as the fax service's extended COM
// server lists it. Shared by the provider and the QuendrySuppDetails server,
// so both answer by the same rules.
#include <windows.h>

#include <string>

namespace corvisk {

struct JobDetails {
  std::string jobId;       // empty when no job was found
  std::string email;       // the job's sender's address, or the default sender's
  std::string diagnostic;  // why the lookup failed or what it could not obtain
};

HRESULT GetJobID(DWORD deviceId, JobDetails& details) noexcept;

}  // namespace corvisk
