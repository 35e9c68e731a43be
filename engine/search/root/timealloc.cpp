// Time allocation: turns the search's TimeControl into the soft timer, the
// hard limit and the target time of one search. Arithmetic is done in 64 bits
// and every result is clamped into int32, so large clocks never overflow.
#include "engine/search/root/timealloc.h"

#include <algorithm>
#include <climits>

#include "engine/board/game/game.h"

TimeControl timeControl;
int32_t softTimeMs;
int32_t hardTimeMs;
int32_t targetTimeMs = 1;

static int32_t clamp32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return (int32_t)v;
}

void allocateTime(int32_t usedMs) {
  const int64_t a = timeControl.a, b = timeControl.b, c = timeControl.c, d = timeControl.d;
  const int64_t n = gameRecord.moveNumber;
  const int64_t used = usedMs;
  int64_t soft = 0, y = 0, z = 0;

  switch (timeControl.mode) {
    case TC_PER_MOVE:  // a seconds per move, timer at eight times that
      soft = a * 8000;
      y = a * 8000;
      z = a * 1000;
      break;
    case TC_FIXED_MS:  // fixed time of a milliseconds; aim at three quarters in whole seconds
      soft = a;
      y = a;
      z = (3 * a / 4000) * 1000;
      break;
    case TC_MOVES_TO_GO:
    case TC_MOVES_LEFT: {  // moves to go
      int64_t r, e;
      if (timeControl.mode == TC_MOVES_LEFT) {
        r = a;
        e = b;
      } else if (b == 0) {
        r = a * 1000 - used;
        e = 0;
      } else if (n <= b) {
        r = a * 1000 - used;
        e = b - n + 1;
      } else if (d == 0) {
        r = (a + c) * 1000 - used;
        e = 0;
      } else {
        r = (a + c * ((n - b + d - 1) / d)) * 1000 - used;
        e = d - ((n - b - 1) % d);
      }
      if (e > 0) {
        soft = (e + 2) * r / (5 * e);
        z = r / (e + 1);
      } else {
        soft = r / 6;
        z = r / 32;
      }
      y = 2 * r / 5;
      break;
    }
    case TC_SUDDEN_DEATH:
    case TC_INCREMENT: {  // sudden death, with an increment in mode 3
      int64_t inc = timeControl.mode == TC_INCREMENT ? b * 1000 : 0;
      int64_t u = used - n * inc;
      int64_t r = a * 1000 - u;
      int64_t o;
      if (n > 30)
        o = (r - 2000) / 32;
      else
        o = std::min((r - 2000) / 20, (a * 1000 / 2 - u) / (32 - n));
      z = inc + o;
      int64_t first = (r - 2000) / 6 + (inc > 0 ? 4 * inc : 0);
      y = (2 * r - 4000) / 5;
      soft = std::min(first, y);
      break;
    }
    default:  // no time limit
      soft = y = z = 0;
      break;
  }
  softTimeMs = clamp32(soft);
  hardTimeMs = clamp32(std::max(soft, y));
  targetTimeMs = clamp32(std::max<int64_t>(1, std::min(soft, z)));
}
