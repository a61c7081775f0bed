#pragma once
// faxtiff: the document routines of the provider as a command-line tool, for
// administrators and benchmarks. Platform-neutral; the *_win and *_posix
// mains only turn the command line into a command word and paths.
#include <string>
#include <vector>

#include "tiff/TiffFile.h"

namespace corvisk {

// Returns the process exit status: 0 on success, 1 when the work failed,
// 2 for a command line that names no known command.
int RunFaxTiff(const std::string& command, const std::vector<FilePath>& operands);

}  // namespace corvisk
