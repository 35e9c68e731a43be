#include "platform/condition.h"
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <climits>

static long futex(std::atomic<uint32_t> *word, int op, uint32_t value) {
  return syscall(SYS_futex, reinterpret_cast<uint32_t *>(word), op | FUTEX_PRIVATE_FLAG, value, nullptr, nullptr, 0);
}

int conditionWait(PlatformCondition *c, pthread_mutex_t *mutex) {
  // Read under the mutex: a signal after the caller's test of its predicate
  // changes the word, and the sleep below then returns at once.
  const uint32_t seen = c->sequence.load(std::memory_order_relaxed);
  int ret = pthread_mutex_unlock(mutex);
  if (ret) return ret;
  futex(&c->sequence, FUTEX_WAIT, seen);
  return pthread_mutex_lock(mutex);
}

int conditionSignal(PlatformCondition *c) {
  c->sequence.fetch_add(1, std::memory_order_relaxed);
  futex(&c->sequence, FUTEX_WAKE, 1);
  return 0;
}

int conditionBroadcast(PlatformCondition *c) {
  c->sequence.fetch_add(1, std::memory_order_relaxed);
  futex(&c->sequence, FUTEX_WAKE, INT_MAX);
  return 0;
}
