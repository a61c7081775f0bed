#pragma once
// Requests of one send to Microsoft's token endpoint and to Microsoft Graph,
// with the process's shared Graph token.
#include <windows.h>

#include <string>

#include "cloudmail/CloudClient.h"
#include "cloudmail/M365Settings.h"

namespace corvisk {

class GraphClient : public CloudClient {
 public:
  GraphClient(const M365Settings& settings, int timeoutSeconds);

  const M365Settings& Settings() const { return settings_; }
  // "https://" and the Graph host, then path.
  std::string GraphUrl(const std::string& path) const;

 protected:
  CloudOutcome Token(const std::string& rejected, std::string& token) override;

 private:
  const M365Settings& settings_;
};

// The process's token for these settings: fetched by one send at a time,
// shared by all, renewed five minutes before it expires or when a send
// found it rejected.
CloudOutcome SharedGraphToken(GraphClient& client, const std::string& rejected, std::string& token);

}  // namespace corvisk
