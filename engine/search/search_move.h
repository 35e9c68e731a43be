// Searching one move of a node, the null-move threat search and the root's
// alternative search.
#pragma once
#include <atomic>

#include "engine/board/position.h"

void searchMove(Position *pos, int depth, int *beta, int *alpha, Move *killers, Move *pv, Move move,
                Position *child, const Move *excluded);
int searchNullMove(Position *pos, int bound, int mode);
void searchRootAlternative(Position *node, int depth, int beta, int alpha, Move *killers);

// Set at the root of each iteration while the root's hash move is searched.
extern std::atomic<int> rootOnHashMove;
