// A preprocessing command for the tests: preprocess_probe MODE INPUT TARGET
//   copy   copies INPUT to TARGET and exits 0
//   copy3  copies INPUT to TARGET and exits 3 (a failing exit code with a target)
//   none   exits at once without creating TARGET
//   hang   never ends on its own
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const char* mode = argv[1];
  if (std::strcmp(mode, "copy") == 0) return CopyFileA(argv[2], argv[3], FALSE) ? 0 : 1;
  if (std::strcmp(mode, "copy3") == 0) return CopyFileA(argv[2], argv[3], FALSE) ? 3 : 1;
  if (std::strcmp(mode, "none") == 0) return 0;
  if (std::strcmp(mode, "hang") == 0) Sleep(INFINITE);
  return 2;
}
