#pragma once
// One fax through Microsoft Graph: the MIME message with sendMail, or, when
// it is too large for one request, a draft whose attachment goes up in
// pieces through an upload session before the draft is sent.
#include <string>

#include "cloudmail/CloudFax.h"
#include "cloudmail/GraphClient.h"
#include "cloudmail/M365Settings.h"
#include "mime/FaxMail.h"

namespace corvisk {

using GraphFax = CloudFax;

// Largest MIME message sent in one sendMail request; its base64 form stays
// under Graph's 4 MB request limit.
inline constexpr size_t kSendMailMimeLimit = 3 * 1024 * 1024;
// Upload session pieces: a multiple of 320 KiB, under Graph's 4 MiB.
inline constexpr size_t kUploadChunkBytes = 12 * 320 * 1024;

CloudOutcome SendFaxThroughGraph(const M365Settings& settings, const GraphFax& fax);

}  // namespace corvisk
