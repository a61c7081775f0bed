// QuendrySuppDetails.exe: answers GetJobDetails from the fax service's COM
// server, in a process that can run under an account with rights to the
// fax service. The answer follows the provider's own GetJobID rules.
#include "jobdetails/JobDetails.h"
#include "servers/LocalServer.h"
#include "servers/QuendrySupp.h"
#include "win32/AnsiText.h"

namespace corvisk::servers {

namespace {

class SuppDetails : public DispatchObject<ISuppDetails> {
 public:
  using DispatchObject::DispatchObject;

  // Each text is returned even when the lookup failed: the diagnostic says
  // why. A text that cannot be allocated comes back null.
  HRESULT STDMETHODCALLTYPE GetJobDetails(LONG deviceId, BSTR* jobId, BSTR* email, BSTR* diagnostic) override {
    if (!jobId || !email || !diagnostic) return E_POINTER;
    *jobId = *email = *diagnostic = nullptr;
    return ReturnHresult([&] {
      JobDetails details;
      const HRESULT result = GetJobID(static_cast<DWORD>(deviceId), details);
      unique_bstr id = ToBstr(details.jobId), address = ToBstr(details.email), text = ToBstr(details.diagnostic);
      *jobId = id.release();
      *email = address.release();
      *diagnostic = text.release();
      return result;
    });
  }
};

const ServerClass kSuppDetails{CLSID_SuppDetails,           IID_ISuppDetails,
                               LIBID_QuendrySuppDetailsLib, L"QuendrySuppDetails.SuppDetails",
                               L"SuppDetails Class",        &CreateServerObject<SuppDetails>};

}  // namespace

}  // namespace corvisk::servers

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return corvisk::servers::RunLocalServer(corvisk::servers::kSuppDetails, GetCommandLineW());
}
