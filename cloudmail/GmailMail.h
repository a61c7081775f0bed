#pragma once
// One fax through the Gmail API: the MIME message uploaded whole to
// messages.send as the mailbox, with a service account's delegated token.
#include "cloudmail/CloudFax.h"
#include "cloudmail/GoogleSettings.h"

namespace corvisk {

CloudOutcome SendFaxThroughGmail(const GoogleSettings& settings, const CloudFax& fax);

// Sends a composed MIME message as mailbox (the settings' mailbox when it is
// empty is the caller's to choose).
CloudOutcome SendMimeThroughGmail(const GoogleSettings& settings, const std::string& mailbox, std::string mime,
                                  int timeoutSeconds);

}  // namespace corvisk
