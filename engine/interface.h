// Module words of the interface: control flags written by other threads, the
// active settings, the program's callbacks and the module's report hooks.
#pragma once
#include <atomic>

#include "engine/board.h"

extern EngineSettings activeSettings;
extern const EngineSettings initialSettings;
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
// Serialises the report callbacks of all search threads.
void lockReports();
void unlockReports();
