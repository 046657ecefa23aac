// The program's own command-line options.
#include "app/StartOptions.h"

StartOptions ParseStartOptions(int argc, const char* const* argv) {
  StartOptions opt;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv ? argv[i] : nullptr;
    if (!a || (a[0] != '-' && a[0] != '/')) continue;
    char letter = a[1];
    if ((letter == 'P' || letter == 'p') && a[2] == ':') {
      opt.plus = a + 3;
      opt.hasPlus = true;
    } else if ((letter == 'M' || letter == 'm') && a[2] == ':') {
      opt.minus = a + 3;
      opt.hasMinus = true;
    } else if (letter == 'S' || letter == 's') {
      opt.subDirs = false;
    }
  }
  return opt;
}
