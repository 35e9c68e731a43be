// Release of the lock that serialises tablebase probes and split-point
// updates, taken by the move step of the node search.
#include <pthread.h>

#include "engine/board/moves/movegen.h"
#include "engine/smp/threads.h"
#include "platform/platform.h"

void unlockSearch() {
  int ret = pthread_mutex_unlock(&searchMutex);
  ENGINE_ASSERT(ret == 0);
}
