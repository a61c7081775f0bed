#pragma once
#include <string>

namespace corvisk {

// A new GUID as 36 lower-case characters without braces; unique names for
// messages and assertions.
std::string NewGuidText();

}  // namespace corvisk
