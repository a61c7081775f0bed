#pragma once
// The job log file: the product's log file stem plus ".log" in the all-users
// application data folder, opened unshared by the job that logs first and
// stamped with the local date and time.
#include <string>

#include "win32/Handles.h"

namespace corvisk {

// Creates (or empties) the log file and writes its time stamp; an invalid
// handle when the file cannot be created.
unique_hfile CreateJobLog();

}  // namespace corvisk
