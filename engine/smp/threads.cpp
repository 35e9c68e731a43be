// Helper threads: the pool, the idle ring, the counting semaphores, the wake
// records, the helper loop and the hand-over of one move at a split point.
#include "engine/smp/threads.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/board/game/game.h"
#include "engine/smp/split.h"
#include "engine/smp/wait_stats.h"
#include "platform/platform.h"

#define PT_CHECK(call) ENGINE_ASSERT((call) == 0)

int cpuCount = 1;
int threadCount = 1;
int recordLimit = 3;
int helperCount;
Semaphore semaphoreA;
Semaphore semaphoreB;
static ThreadRecord threadRecords[MAX_THREAD_RECORDS];
ThreadRecord *thread = threadRecords;
IdleRing idleRing;

int semaphoreBUnits(int n) { return std::min(n, n < 9 ? 4 : 16); }

// ---- records, ring and semaphores ----
void initThreadRecords(ThreadRecord *records, int count) {
  for (int i = 0; i < count; i++) {
    ThreadRecord *t = &records[i];
    PT_CHECK(pthread_mutex_init(&t->wake.mutex, nullptr));
    t->wake.status = WAKE_IDLE;
    t->wake.waiters = 0;
    t->wake.children = nullptr;
    PT_CHECK(pthread_mutex_init(&t->children.mutex, nullptr));
    t->children.count.store(0);
    t->children.waiters = 0;
    t->holdsSplitUnit = 0;
    t->state.store(THREAD_IDLE);
  }
}

void initIdleRing(IdleRing *ring) {
  PT_CHECK(pthread_mutex_init(&ring->mutex, nullptr));
  ring->head = ring->tail = ring->waiters = 0;
}

int semInit(Semaphore *s, int count) {
  int ret = pthread_mutex_init(&s->mutex, nullptr);
  if (ret) return ret;
  s->waiters = 0;
  s->count.store(count);
  return 0;
}

// Conditions are signalled after the mutex is released: a waiter that wakes
// at once then finds the mutex free instead of blocking on it again, and the
// poster is not preempted while it holds the lock. A waiter counted under the
// lock either is already waiting or re-tests the count before it waits.
// Count + 1 under the lock; whether a waiter is to be signalled.
static bool countUp(Semaphore *s) {
  PT_CHECK(pthread_mutex_lock(&s->mutex));
  s->count.fetch_add(1, std::memory_order_relaxed);
  const bool wake = s->waiters > 0;
  PT_CHECK(pthread_mutex_unlock(&s->mutex));
  return wake;
}

int semPost(Semaphore *s) { return countUp(s) ? conditionSignal(&s->cond) : 0; }

int semTryWait(Semaphore *s) {
  int ret = pthread_mutex_lock(&s->mutex);
  if (ret) return ret;
  int result = 1;
  if (s->count.load(std::memory_order_relaxed) > 0) {
    s->count.fetch_sub(1, std::memory_order_relaxed);
    result = 0;
  }
  ret = pthread_mutex_unlock(&s->mutex);
  return ret ? ret : result;
}

int semWait(Semaphore *s) {
  int ret = pthread_mutex_lock(&s->mutex);
  if (ret) return ret;
  s->waiters++;
  while (s->count.load(std::memory_order_relaxed) <= 0) PT_CHECK(conditionWait(&s->cond, &s->mutex));
  s->count.fetch_sub(1, std::memory_order_relaxed);
  s->waiters--;
  return pthread_mutex_unlock(&s->mutex);
}

// Moves a semaphore's count by delta (a thread-count change between searches;
// units held by helpers come back later and keep the total right).
static void semAdjust(Semaphore *s, int delta) {
  PT_CHECK(pthread_mutex_lock(&s->mutex));
  s->count.fetch_add(delta, std::memory_order_relaxed);
  const bool wake = delta > 0 && s->waiters > 0;
  PT_CHECK(pthread_mutex_unlock(&s->mutex));
  if (wake) PT_CHECK(conditionBroadcast(&s->cond));
}

bool idleRingEmpty(const IdleRing *ring) { return ring->head == ring->tail; }

static int ringSize(const IdleRing *ring) {
  return (ring->tail - ring->head + MAX_THREAD_RECORDS) % MAX_THREAD_RECORDS;
}

void ringJoin(int i) {
  PT_CHECK(pthread_mutex_lock(&idleRing.mutex));
  const bool wake = idleRing.waiters > 0;
  idleRing.ring[idleRing.tail] = i;
  idleRing.tail = (idleRing.tail + 1) % MAX_THREAD_RECORDS;
  PT_CHECK(pthread_mutex_unlock(&idleRing.mutex));
  if (wake) PT_CHECK(conditionBroadcast(&idleRing.cond));
}

// Takes an idle helper whose id is below recordLimit. Helpers above the limit
// (after the thread count was lowered) stay in the ring, so the ring is
// complete again when the count goes back up.
int ringTake() {
  PT_CHECK(pthread_mutex_lock(&idleRing.mutex));
  idleRing.waiters++;
  for (;;) {
    for (int k = idleRing.head; k != idleRing.tail; k = (k + 1) % MAX_THREAD_RECORDS) {
      int h = idleRing.ring[k];
      if (h < recordLimit) {
        idleRing.ring[k] = idleRing.ring[idleRing.head];
        idleRing.head = (idleRing.head + 1) % MAX_THREAD_RECORDS;
        idleRing.waiters--;
        PT_CHECK(pthread_mutex_unlock(&idleRing.mutex));
        return h;
      }
    }
    PT_CHECK(conditionWait(&idleRing.cond, &idleRing.mutex));
  }
}

bool idleRingComplete() {
  PT_CHECK(pthread_mutex_lock(&idleRing.mutex));
  bool complete = ringSize(&idleRing) == helperCount;
  bool seen[MAX_THREAD_RECORDS] = {};
  for (int k = idleRing.head; k != idleRing.tail && complete; k = (k + 1) % MAX_THREAD_RECORDS) {
    int h = idleRing.ring[k];
    if (h < 1 || h > helperCount || seen[h]) complete = false;
    else seen[h] = true;
  }
  PT_CHECK(pthread_mutex_unlock(&idleRing.mutex));
  return complete;
}

void waitHelpersIdle() {
  if (helperCount == 0) return;
  PT_CHECK(pthread_mutex_lock(&idleRing.mutex));
  idleRing.waiters++;
  while (ringSize(&idleRing) < helperCount) PT_CHECK(conditionWait(&idleRing.cond, &idleRing.mutex));
  idleRing.waiters--;
  PT_CHECK(pthread_mutex_unlock(&idleRing.mutex));
  // Back in the ring is not quite done: wait until each has returned its unit.
  for (int i = 1; i <= helperCount; i++)
    while (thread[i].state.load() != THREAD_IDLE) platformSleepMs(1);
}

// ---- wake records and the children counter ----
void wakeHelper(WakeRecord *w, Semaphore *children) {
  PT_CHECK(pthread_mutex_lock(&w->mutex));
  ENGINE_ASSERT(w->status == WAKE_IDLE && "status == idle");
  w->status = WAKE_JOB_HANDED_OVER;
  w->children = children;
  PT_CHECK(pthread_mutex_lock(&children->mutex));
  children->count.fetch_add(1, std::memory_order_relaxed);
  PT_CHECK(pthread_mutex_unlock(&children->mutex));
  const bool wake = w->waiters > 0;
  PT_CHECK(pthread_mutex_unlock(&w->mutex));
  if (wake) PT_CHECK(conditionSignal(&w->cond));
}

void waitForChildren(Semaphore *children) {
  PT_CHECK(pthread_mutex_lock(&children->mutex));
  if (children->count.load(std::memory_order_relaxed) > 0) {
    children->waiters++;
    while (children->count.load(std::memory_order_relaxed) > 0)
      PT_CHECK(conditionWait(&children->cond, &children->mutex));
    children->waiters--;
  }
  PT_CHECK(pthread_mutex_unlock(&children->mutex));
}

// Count - 1 under the lock; whether the waiting splitter is to be signalled.
static bool childLeaves(Semaphore *children) {
  PT_CHECK(pthread_mutex_lock(&children->mutex));
  ENGINE_ASSERT(children->count.load() > 0 && "children > 0");
  int left = children->count.fetch_sub(1, std::memory_order_relaxed) - 1;
  const bool wake = left == 0 && children->waiters > 0;
  PT_CHECK(pthread_mutex_unlock(&children->mutex));
  return wake;
}


void finishJob(int i, Semaphore *unit, Semaphore *children) {
  // Both counts change before either waiter is signalled: a signal may let the
  // woken thread preempt this one, which then must not hold up the other.
  const bool unitWaiter = countUp(unit);
  const bool lastChild = children && childLeaves(children);
  if (lastChild) PT_CHECK(conditionSignal(&children->cond));
  if (unitWaiter) PT_CHECK(conditionSignal(&unit->cond));
  statsEnter(i, WAIT_IDLE);  // before a splitter can take it from the ring
  ringJoin(i);
}

// ---- thread count ----
void setThreadCount(int n) {
  int count = (n > 0 && n <= 40) ? n : cpuCount;
  count = std::min(count, cpuCount);
  if (helperCount == 0) {  // no pool yet: startThreads takes the settings word
    threadCount = count;
    recordLimit = 2 * count + 1;
    return;
  }
  int oldCount = threadCount;
  threadCount = count;
  recordLimit = 2 * count + 1;
  semAdjust(&semaphoreA, count - oldCount);
  semAdjust(&semaphoreB, semaphoreBUnits(count) - semaphoreBUnits(oldCount));
  // A raised limit may unblock a splitter waiting for a usable id.
  PT_CHECK(pthread_mutex_lock(&idleRing.mutex));
  if (idleRing.waiters > 0) PT_CHECK(conditionBroadcast(&idleRing.cond));
  PT_CHECK(pthread_mutex_unlock(&idleRing.mutex));
}

// The records and the ring are ready as soon as the code is loaded.
[[maybe_unused]] static const bool recordsReady = (initThreadRecords(threadRecords, MAX_THREAD_RECORDS), initIdleRing(&idleRing),
                                  semInit(&semaphoreA, 0) == 0 && semInit(&semaphoreB, 0) == 0);
