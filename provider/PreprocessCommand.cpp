#include "provider/PreprocessCommand.h"

namespace corvisk {

bool IsValidPreprocessTemplate(const std::string& commandTemplate) {
  const size_t first = commandTemplate.find("%s");
  return first != std::string::npos && commandTemplate.rfind("%s") != first;
}

std::optional<std::string> ExpandPreprocessCommand(const std::string& commandTemplate, const std::string& input,
                                                   const std::string& target) {
  const std::string* arguments[] = {&input, &target};
  size_t used = 0;
  std::string line;
  for (size_t i = 0; i < commandTemplate.size(); ++i) {
    if (commandTemplate[i] != '%') {
      line += commandTemplate[i];
      continue;
    }
    const char conversion = i + 1 < commandTemplate.size() ? commandTemplate[++i] : '\0';
    if (conversion == '%') {
      line += '%';
    } else if (conversion == 's' && used < 2) {
      line += *arguments[used++];
    } else {
      // A third "%s" or another conversion would read arguments that do not exist.
      return std::nullopt;
    }
  }
  if (used != 2 || line.size() > kMaxPreprocessCommandLine) return std::nullopt;
  return line;
}

std::string PreprocessTargetName(const std::string& workingFile) {
  return workingFile.substr(0, workingFile.size() >= 4 ? workingFile.size() - 4 : 0) + "2.tif";
}

}  // namespace corvisk
