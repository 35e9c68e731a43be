// The module words of the interface: the parameter block, the callbacks the
// search calls, the control flags written by the program's threads, the report
// hooks and the lock that keeps reports from different threads apart.
#include <pthread.h>

#include "module/interface.h"
#include "platform/platform.h"

// paramsSet (word 9) starts at 0: setSettings is what sets it to 1.
const EngineSettings initialSettings = {
    0, 0, 1, 0, 0, -9999, 0, 4, 1, 0, 1, 1, 1,                   // words 0..12
    100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100,  // words 13..24
    60};                                                         // maxDepth
EngineSettings activeSettings = initialSettings;
EngineCallbacks callbacks;
std::atomic<int> searchState{0};
std::atomic<int> stopFlag{0};
std::atomic<int> iterationDone{0};
std::atomic<int> timeUp{0};
std::atomic<int> pendingExtensionMs{0};
std::atomic<int> firstIterationDone{0};
std::atomic<int> stopAtIterationEnd{0};
std::atomic<int> reportedMoves{0};
int32_t tbMenLimit;

void (*timerHook)(int softMs, int hardMs);
void (*pvHook)(int depth, int score, const Move *pv, int flag);
void (*currentMoveHook)(int depth, const Position *node, int recount);
int (*tablebaseHook)(Board *board, int side, int epSquare, int *value);
void (*nodeHook)();

// ---- reports: one lock around every callback into the program ----
static pthread_mutex_t reportMutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
void lockReports() { ENGINE_ASSERT(pthread_mutex_lock(&reportMutex) == 0); }
void unlockReports() { ENGINE_ASSERT(pthread_mutex_unlock(&reportMutex) == 0); }

