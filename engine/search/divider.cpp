// Set-up of a run-time divisor (see divider.h).
#include "engine/search/divider.h"

Divider makeDivider(uint64_t divisor) {
  assert(divisor >= 2 && divisor <= (1ULL << 63));
  Divider d;
  d.divisor = divisor;
  d.shift = 64 - __builtin_clzll(divisor - 1);
  unsigned __int128 excess = ((unsigned __int128)1 << d.shift) - divisor;
  d.magic = (uint64_t)((excess << 64) / divisor) + 1;
  return d;
}
