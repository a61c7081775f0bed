#include "cloudmail/GraphClient.h"

namespace corvisk {

// Graph's 429 and 503 say how long to wait; without that, nothing is sent again.
GraphClient::GraphClient(const M365Settings& settings, int timeoutSeconds)
    : CloudClient(timeoutSeconds, false), settings_(settings) {}

std::string GraphClient::GraphUrl(const std::string& path) const { return "https://" + settings_.graphHost + path; }

CloudOutcome GraphClient::Token(const std::string& rejected, std::string& token) {
  return SharedGraphToken(*this, rejected, token);
}

}  // namespace corvisk
