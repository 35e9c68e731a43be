// Split points: the helper loop, the start of the helper pool, and the
// hand-over of one move of a node's move loop to an idle helper.
#pragma once
#include <atomic>
#include <cstdint>

#include "engine/board/position.h"

extern std::atomic<int64_t> movesHandedOver;  // moves given to helpers so far (tests, bench)

// Creates the helper threads (once; later calls change nothing) and returns
// their number.
int startThreads(int requested);
// The split decision and hand-over for one move of a node's move loop.
// Returns 1 when the move was handed to a helper, 0 when the caller searches it.
int splitMove(Position *node, int depth, int *beta, int *alpha, Move *killers, Move *pv, Move move,
              Position *child, const Move *excluded);
// End of a split node's move loop: wait for its helpers, then resynchronise.
void endSplit(Position *node);
