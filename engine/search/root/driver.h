// The search driver: iterative deepening of the game's root with multi-PV,
// the easy-move test, the time rules and the stop rules.
#pragma once
#include <atomic>

#include "engine/board/game/stopwatch.h"
#include "engine/board/position.h"

extern Stopwatch searchClock;
extern int32_t currentDepth;
extern int32_t lastScore;
extern int32_t timeFactor;
extern int32_t pvCount;

constexpr int MAX_MULTI_PV = 50;
constexpr int MAX_ROOT_MOVES = 256;

void iterativeSearch(Position *root, int multiPv);
// The root's state before its first iteration: split words, killers, threat
// replies, the history table and a fresh preparation.
void prepareSearchRoot(Position *root);
