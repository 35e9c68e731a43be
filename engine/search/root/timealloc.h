// Time allocation: the time control of the next search and the soft, hard and
// target times derived from it.
#pragma once
#include <cstdint>

// Time-control modes (TimeControl::mode); times are whole seconds except in
// TC_FIXED_MS and TC_MOVES_LEFT (the UCI clock), which are milliseconds.
enum TimeControlMode {
  TC_NONE = 0,          // no time limit: the depth limit a
  TC_PER_MOVE = 1,      // a seconds per move
  TC_SUDDEN_DEATH = 2,  // a seconds for the game
  TC_INCREMENT = 3,     // a seconds for the game, b more per move
  TC_FIXED_MS = 4,      // a milliseconds for this move
  TC_MOVES_TO_GO = 5,   // a seconds for the first b moves, then c more per d moves
  TC_MOVES_LEFT = 6,    // a milliseconds left for the next b moves
};

struct TimeControl {
  int32_t mode;  // TimeControlMode
  int32_t a, b, c, d;
};

extern TimeControl timeControl;
extern int32_t softTimeMs;
extern int32_t hardTimeMs;
extern int32_t targetTimeMs;

// Derives the soft, hard and target times for the side to move, given the
// milliseconds it has used on its clock so far.
void allocateTime(int32_t usedMs);
