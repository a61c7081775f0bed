#pragma once
#include <windows.h>

#include <string>

#include "provider/FaxMessage.h"
#include "settings/Settings.h"

namespace corvisk {

// Hands the fax e-mail to the QuendrySuppEmail server, which submits it with
// NTLM authentication under its own identity. 0 when the server accepted it;
// otherwise the HRESULT and whatever text explains it.
HRESULT SendThroughSuppEmail(const ProviderSettings& settings, const FaxMessage& message, const std::string& attachment,
                             std::string& errorText) noexcept;

}  // namespace corvisk
