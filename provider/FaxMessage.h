#pragma once
#include <string>

namespace corvisk {

// The custom header field that carries the gateway account password.
inline constexpr char kPasswordHeaderName[] = "urn:schemas:mailheader:X-Corvisk-fax-password";

// The addressing of one fax e-mail; the attachment is the send's working file.
struct FaxMessage {
  std::string recipient;  // destination number, "@", gateway domain
  std::string sender;     // the notification address, or the job's own
  std::string subject;    // destination number, maybe " JobID:" and the job's id
};

}  // namespace corvisk
