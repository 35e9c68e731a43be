// Time allocation: the time control of the next search and the soft, hard and
// target times derived from it.
#pragma once
#include <cstdint>

struct TimeControl {
  int32_t mode;
  int32_t a, b, c, d;
};

extern TimeControl timeControl;
extern int32_t softTimeMs;
extern int32_t hardTimeMs;
extern int32_t targetTimeMs;

// Derives the soft, hard and target times for the side to move, given the
// milliseconds it has used on its clock so far.
void allocateTime(int32_t usedMs);
