// The module words of the interface: the callbacks the search's reports go to
// and the lock that keeps reports from different threads apart.
#include "module/callbacks.h"

#include <pthread.h>

#include "platform/platform.h"

EngineCallbacks callbacks;
// ---- reports: one lock around every callback into the program ----
static pthread_mutex_t reportMutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
void lockReports() { ENGINE_ASSERT(pthread_mutex_lock(&reportMutex) == 0); }
void unlockReports() { ENGINE_ASSERT(pthread_mutex_unlock(&reportMutex) == 0); }

