// The search's side of the parallel search: the words that the threads of one
// search share at split points, and the split hooks that the helper pool
// installs when it starts (without helpers no move is ever handed over).
#pragma once
#include <atomic>
#include <cstdint>
#include <pthread.h>

#include "engine/board/position.h"

// Orders the updates of a split node's alpha, variation and best score by its
// helpers, and the tablebase probes.
extern pthread_mutex_t searchMutex;
void lockSearchMutex();
void unlockSearchMutex();
// The epoch of the running search's split work; a board whose epoch lags
// behind its master's is doing stale work.
extern std::atomic<int> splitEpochCounter;
// The split point of a board that has none of its own.
extern Position noSplitPosition;

// The split decision and hand-over for one move of a node's move loop: 1 when
// the move was handed to a helper, 0 when the caller searches it.
extern int (*splitHook)(Position *node, int depth, int *beta, int *alpha, Move *killers, Move *pv, Move move,
                        Position *child, const Move *excluded);
// End of a split node's move loop: wait for its helpers, then resynchronise.
extern void (*endSplitHook)(Position *node);
// Blocks until every helper is back in the idle ring (end of a search).
extern void (*helpersIdleHook)();

// Shared words of split points, read and written by several threads. A split
// node's beta is written before its alpha and read after it: a thread that
// sees a raised alpha also sees the beta that goes with it.
inline int loadShared(const int *p) { return __atomic_load_n(p, __ATOMIC_ACQUIRE); }
inline void storeShared(int *p, int v) { __atomic_store_n(p, v, __ATOMIC_RELEASE); }
inline int32_t boardEpoch(const Board *b) { return __atomic_load_n(&b->splitEpoch, __ATOMIC_RELAXED); }
inline void setBoardEpoch(Board *b, int32_t v) { __atomic_store_n(&b->splitEpoch, v, __ATOMIC_RELAXED); }
// A thread's work is stale when its epoch lags behind its master's.
inline bool workIsStale(const Board *b) { return boardEpoch(b) < boardEpoch(b->masterBoard); }
// Atomic merges of the shared counters (split node's movesTried, game node count).
inline void addMovesTried(Position *p, int n) { __atomic_fetch_add(&p->movesTried, n, __ATOMIC_RELAXED); }
inline int movesTriedOf(const Position *p) { return __atomic_load_n(&p->movesTried, __ATOMIC_RELAXED); }
// Helpers hand their node counts to a counter of their own: the game board's
// count is written by the master's make-move alone, so no update is lost.
extern std::atomic<int64_t> helperNodeCount;
inline void addHelperNodes(int64_t n) { helperNodeCount.fetch_add(n, std::memory_order_relaxed); }
// Nodes of the running search: the master's and every finished helper job's.
int64_t searchNodeCount();
