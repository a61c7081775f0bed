#pragma once
// What the Windows tests of the cloud transports share: the HTTPS stand-ins
// of tests/cloud/cloud-fixture (their ports and logs), protected settings,
// and, through TestDocuments.h, fax documents too large for one request.
#include <windows.h>

#include <string>

#include "TestDocuments.h"

namespace corvisk::test {

// A file of the lane's cloud folder (CORVISK_CLOUD_FOLDER), e.g. "google.port".
std::wstring CloudFile(const std::string& name);
// "localhost:PORT" of the stand-in whose port is in portFile.
std::string StandInHost(const char* portFile);
// Lines of a stand-in's log ("log/tokens.log") that start with prefix.
size_t StandInLogLines(const std::string& log, const std::string& prefix);

void WriteBinarySetting(const char* name, const std::string& bytes);
// The secret protected as the configuration program stores it.
std::string Protected(const std::string& secret);

}  // namespace corvisk::test
