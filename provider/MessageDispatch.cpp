#include "provider/MessageDispatch.h"

namespace corvisk {

// The mail transports come with the mail work; until then every dispatch
// fails as a transport would.
HRESULT DispatchFaxMessage(const ProviderSettings& /*settings*/, const FaxMessage& /*message*/,
                           const std::string& /*attachment*/, std::string& errorText) {
  errorText = "Not implemented";
  return E_NOTIMPL;
}

}  // namespace corvisk
