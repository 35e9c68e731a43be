// The words shared by the threads of one search, and the split hooks.
#include "engine/search/parallel.h"

#include "engine/board/game/game.h"
#include "platform/platform.h"

// The words that several threads write are kept on cache lines of their own.
alignas(CACHE_LINE_BYTES) pthread_mutex_t searchMutex = PTHREAD_MUTEX_INITIALIZER;
alignas(CACHE_LINE_BYTES) std::atomic<int> splitEpochCounter{1};
Position noSplitPosition;

void lockSearchMutex() { ENGINE_ASSERT(pthread_mutex_lock(&searchMutex) == 0); }
void unlockSearchMutex() { ENGINE_ASSERT(pthread_mutex_unlock(&searchMutex) == 0); }

int (*splitHook)(Position *, int, int *, int *, Move *, Move *, Move, Position *, const Move *);
void (*endSplitHook)(Position *);
void (*helpersIdleHook)();

alignas(CACHE_LINE_BYTES) std::atomic<int64_t> helperNodeCount{0};

int64_t searchNodeCount() {
  return __atomic_load_n(&gameBoard.nodeCount, __ATOMIC_RELAXED) + helperNodeCount.load(std::memory_order_relaxed);
}
