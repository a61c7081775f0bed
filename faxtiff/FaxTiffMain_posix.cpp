#include <string>
#include <vector>

#include "faxtiff/FaxTiff.h"

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  const std::vector<corvisk::FilePath> operands(argv + (argc > 1 ? 2 : argc), argv + argc);
  return corvisk::RunFaxTiff(command, operands);
}
