// The module's report hooks of the search (installed by EngineInit).
#pragma once
#include "engine/board/position.h"

// The module's report hooks of the search: a variation, the current move, a
// tablebase probe (each a no-op when the program left its callback null).
void sendPv(int depth, int score, const Move *pv, int flag);
void sendCurrentMove(int depth, const Position *node, int recount);
int sendTablebaseProbe(Board *board, int side, int epSquare, int *value);
