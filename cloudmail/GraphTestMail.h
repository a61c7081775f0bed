#pragma once
// The configuration program's test message through Microsoft Graph, and
// what the token it got says about the application.
#include <string>

#include "cloudmail/GraphClient.h"
#include "cloudmail/M365Settings.h"
#include "cloudmail/TokenFacts.h"

namespace corvisk {

// Sends a short text message from the mailbox (or address) to address.
CloudOutcome SendTestMailThroughGraph(const M365Settings& settings, const std::string& address, int timeoutSeconds,
                                      TokenFacts& facts);

}  // namespace corvisk
