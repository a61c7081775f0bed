#include "provider/JobLookup.h"

#include "common/TextFormat.h"

namespace corvisk {

// The lookups through the fax service's COM server and QuendrySuppDetails
// come with the job-details work; until then each ends as a failed lookup.
HRESULT GetJobID(DWORD /*deviceId*/, JobDetails& details) {
  details = JobDetails{};
  details.diagnostic = "Failed in GetJobID\r\n";
  return E_NOTIMPL;
}

HRESULT GetSuppJobDetails(DWORD /*deviceId*/, JobDetails& details) {
  details = JobDetails{};
  details.diagnostic = FormatText("com error 0x%lx  : Not implemented\r\n", static_cast<unsigned long>(E_NOTIMPL));
  return E_NOTIMPL;
}

}  // namespace corvisk
