// Paths arrive as wide text, so any file name the system allows works.
#include <string>
#include <vector>

#include "faxtiff/FaxTiff.h"

namespace {

// Command words are ASCII; anything else cannot match one.
std::string CommandWord(const wchar_t* text) {
  std::string word;
  for (; *text; ++text) word.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return word;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::string command = argc > 1 ? CommandWord(argv[1]) : "";
  const std::vector<corvisk::FilePath> operands(argv + (argc > 1 ? 2 : argc), argv + argc);
  return corvisk::RunFaxTiff(command, operands);
}
