#pragma once
// The site's preprocessing command line: a template with two "%s", the first
// for the document the command reads, the second for the file it must make.
#include <optional>
#include <string>

namespace corvisk {

// Longest command line the provider runs, in characters.
inline constexpr size_t kMaxPreprocessCommandLine = 583;

// "%s" must occur at two different places.
bool IsValidPreprocessTemplate(const std::string& commandTemplate);

// The command line, or nothing when the template has any conversion other
// than its two "%s" (and "%%"), or the result would exceed the limit.
std::optional<std::string> ExpandPreprocessCommand(const std::string& commandTemplate, const std::string& input,
                                                   const std::string& target);

// The file the command must create: the working file without its last four
// characters, followed by "2.tif".
std::string PreprocessTargetName(const std::string& workingFile);

}  // namespace corvisk
