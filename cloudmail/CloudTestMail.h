#pragma once
// The configuration program's test message through a cloud transport, and,
// for Microsoft Graph, what the token it got says about the application.
#include <string>

#include "cloudmail/GoogleSettings.h"
#include "cloudmail/GraphClient.h"
#include "cloudmail/M365Settings.h"
#include "cloudmail/TokenFacts.h"

namespace corvisk {

// Sends a short text message from the mailbox (or address) to address.
CloudOutcome SendTestMailThroughGraph(const M365Settings& settings, const std::string& address, int timeoutSeconds,
                                      TokenFacts& facts);
CloudOutcome SendTestMailThroughGmail(const GoogleSettings& settings, const std::string& address, int timeoutSeconds);

}  // namespace corvisk
