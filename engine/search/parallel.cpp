// The words shared by the threads of one search, and the split hooks.
#include "engine/search/parallel.h"

#include "engine/board/game/game.h"

pthread_mutex_t searchMutex = PTHREAD_MUTEX_INITIALIZER;
std::atomic<int> splitEpochCounter{1};
Position noSplitPosition;

int (*splitHook)(Position *, int, int *, int *, Move *, Move *, Move, Position *, const Move *);
void (*endSplitHook)(Position *);
void (*helpersIdleHook)();

std::atomic<int64_t> helperNodeCount{0};

int64_t searchNodeCount() {
  return __atomic_load_n(&gameBoard.nodeCount, __ATOMIC_RELAXED) + helperNodeCount.load(std::memory_order_relaxed);
}
