#pragma once
// Where the provider's job log lives: the product's log file stem plus ".log"
// in the all-users application data folder, or in the system folder where
// that folder cannot be determined. The configuration program opens it too.
#include <string>

namespace corvisk {

std::string JobLogPath();

}  // namespace corvisk
