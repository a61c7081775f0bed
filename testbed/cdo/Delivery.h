#pragma once
// Hands a composed message to the transport its configuration names: the
// pickup directory or an SMTP server.
#include <string>

#include "FieldCollection.h"
#include "OutgoingMessage.h"
#include "RichError.h"
#include "SmtpClient.h"

namespace corvisk::cdo_standin {

Outcome DeliverMail(const CFieldCollection& configuration, const SmtpEnvelope& envelope,
                    const OutgoingMessage& message);
std::string UniqueName();

}  // namespace corvisk::cdo_standin
