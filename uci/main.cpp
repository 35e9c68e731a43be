// tessel_uci: the UCI program.
#include <unistd.h>

#include <cstdio>

#include "uci/startup.h"

int main() {
  int code = uciMain();
  fflush(stdout);
  // Search threads may still be running: leave without running destructors.
  _exit(code);
}
