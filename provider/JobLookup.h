#pragma once
// Details of the running job from the fax service: its identifier for the
// subject and, on servers, its sender's e-mail address. Neither lookup lets
// an exception out; a result other than 0 comes with a diagnostic text.
#include <windows.h>

#include "jobdetails/JobDetails.h"

namespace corvisk {

inline constexpr DWORD kLookupDeviceId = 0x77000000;

// GetJobID (jobdetails/) asks the fax service's own COM server, in this
// process. This one asks the QuendrySuppDetails server, which runs under an
// account with rights to the fax service.
HRESULT GetSuppJobDetails(DWORD deviceId, JobDetails& details) noexcept;

}  // namespace corvisk
