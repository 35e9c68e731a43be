// Module words of the interface: the program's callbacks, the report lock, the
// module's report wrappers and the driver's start and end of search control.
#pragma once
#include <atomic>

#include "engine/board/position.h"
#include "engine/search/root/control.h"
#include "module/api.h"

// The callbacks the search calls. The report fields are the module's own
// wrappers, which take the report lock and then call the program's callback;
// a field the program left null stays null.
extern EngineCallbacks callbacks;

// Serialises the report callbacks of all search threads (recursive: a caller
// may hold it around a group of reports).
void lockReports();
void unlockReports();

// Driver start: honours a ponderhit latched before the search began, marks the
// search as running and arms the timer unless pondering.
void beginSearchControl();
// Driver end: marks the search as no longer running and cancels both timers.
void endSearchControl();

// The module's report hooks of the search: a variation, the current move, a
// tablebase probe (each a no-op when the program left its callback null).
void sendPv(int depth, int score, const Move *pv, int flag);
void sendCurrentMove(int depth, const Position *node, int recount);
int sendTablebaseProbe(Board *board, int side, int epSquare, int *value);
