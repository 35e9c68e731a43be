// Module words of the interface: control flags written by other threads, the
// active settings, the program's callbacks and the module's report hooks.
#pragma once
#include <atomic>

#include "engine/board/position.h"
#include "module/api.h"

extern EngineSettings activeSettings;
extern const EngineSettings initialSettings;
// The callbacks the search calls. The report fields are the module's own
// wrappers, which take the report lock and then call the program's callback;
// a field the program left null stays null.
extern EngineCallbacks callbacks;

extern std::atomic<int> searchState;  // 0 idle, 1 searching, 2 pondering or infinite
extern std::atomic<int> stopFlag;
extern std::atomic<int> iterationDone;
extern std::atomic<int> timeUp;
extern std::atomic<int> pendingExtensionMs;
extern int32_t tbMenLimit;

extern void (*timerHook)(int softMs, int hardMs);
extern void (*pvHook)(int depth, int score, const Move *pv, int flag);
extern void (*currentMoveHook)(int depth, const Position *node, int recount);
extern int (*tablebaseHook)(Board *board, int side, int epSquare, int *value);
extern void (*nodeHook)();
// Serialises the report callbacks of all search threads (recursive: a caller
// may hold it around a group of reports).
void lockReports();
void unlockReports();

// ---- search control shared by the driver and the interface operations ----
// Set once the first iteration of the running search has completed; a timer
// stop before that waits for the iteration's end (stopAtIterationEnd).
extern std::atomic<int> firstIterationDone;
extern std::atomic<int> stopAtIterationEnd;
// Variations with a move that reached the program in this search.
extern std::atomic<int> reportedMoves;
// Driver start: honours a ponderhit latched before the search began, marks the
// search as running and arms the timer unless pondering.
void beginSearchControl();
// Driver end: marks the search as no longer running and cancels both timers.
void endSearchControl();
