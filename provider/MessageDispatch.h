#pragma once
#include <windows.h>

#include <string>

#include "provider/FaxMessage.h"
#include "settings/Settings.h"

namespace corvisk {

// Submits the fax e-mail once, through CDO or, with NTLM authentication,
// through the QuendrySuppEmail server. 0 when the transport accepted it;
// otherwise its HRESULT and error text.
HRESULT DispatchFaxMessage(const ProviderSettings& settings, const FaxMessage& message, const std::string& attachment,
                           std::string& errorText);

}  // namespace corvisk
