#pragma once
// What the configuration program's transport page saves: the transport and
// the settings of the cloud chosen.
#include <string>

#include "cloudmail/GoogleSettings.h"
#include "cloudmail/M365Settings.h"

namespace corvisk {

struct TransportChoice {
  bool microsoft365 = false;
  bool google = false;
  bool transportStored = false;  // "MailTransport" was present when loaded
  M365Settings settings;         // the blobs only when the flags below say so
  bool newSecret = false;        // settings.clientSecretBlob is new
  bool newCertificate = false;   // settings.certificate and its key are new
  GoogleSettings googleSettings;
  bool newGoogleKey = false;  // the account, its token URI and its protected key are new
};

// Writes the choice into the existing settings key. The transport value is
// written only when a cloud is chosen or it was there before, so a sheet
// that never chose one leaves the key as it was.
bool SaveTransportChoice(const TransportChoice& choice, std::string& failureText);

}  // namespace corvisk
