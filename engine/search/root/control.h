// The search's control words, written by the module's operations on the
// program's threads and read by the driver and the searches, and the hooks
// through which the search reaches the module (installed by EngineInit; a
// null hook is skipped).
#pragma once
#include <atomic>
#include <cstdint>

#include "engine/board/position.h"

// searchState values.
enum SearchStateValue { SEARCH_IDLE = 0, SEARCH_RUNNING = 1, SEARCH_PONDERING = 2 /* or infinite */ };
extern std::atomic<int> searchState;  // SearchStateValue
extern std::atomic<int> stopFlag;
extern std::atomic<int> iterationDone;
extern std::atomic<int> timeUp;
extern int32_t tbMenLimit;

extern void (*timerHook)(int softMs, int hardMs);
extern void (*pvHook)(int depth, int score, const Move *pv, int flag);
extern void (*currentMoveHook)(int depth, const Position *node, int recount);
extern int (*tablebaseHook)(Board *board, int side, int epSquare, int *value);
extern void (*nodeHook)();

// Set once the first iteration of the running search has completed; a timer
// stop before that waits for the iteration's end (stopAtIterationEnd).
extern std::atomic<int> firstIterationDone;
extern std::atomic<int> stopAtIterationEnd;
// Variations with a move that reached the program in this search.
extern std::atomic<int> reportedMoves;
// Driver start and end of the module's search control (timers, ponderhit latch).
extern void (*searchStartHook)();
extern void (*searchEndHook)();
