#pragma once
// The fax number as the gateway reads it from the recipient's local part.
#include <string>

namespace corvisk {

// Drops a leading tone or pulse mark (T, t, P, p), then the international
// prefix when the number starts with exactly it, then the separators.
std::string DestinationNumber(const std::string& dialled, const std::string& internationalPrefix);

// Removes spaces, commas and parentheses; everything else stays.
std::string NormalizeFaxNumber(const std::string& number);

}  // namespace corvisk
