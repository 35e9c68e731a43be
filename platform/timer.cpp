#include "platform/timer.h"

#include <pthread.h>
#include <time.h>

#include <cerrno>

namespace {

struct TimerSlot {
  bool armed;
  struct timespec due;  // CLOCK_MONOTONIC
  TimerCallback callback;
};

pthread_mutex_t timerMutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t wakeCond;   // the timer thread waits here for the next due time
pthread_cond_t idleCond;   // cancel waits here until no callback runs
bool threadStarted = false;
pthread_t timerThread;
int runningCallbacks = 0;
TimerSlot slots[TIMER_SLOTS];

struct timespec monotonicNow() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts;
}

bool dueBefore(const struct timespec &a, const struct timespec &b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

void *timerThreadBody(void *) {
  pthread_mutex_lock(&timerMutex);
  for (;;) {
    int next = -1;
    for (int i = 0; i < TIMER_SLOTS; i++)
      if (slots[i].armed && (next < 0 || dueBefore(slots[i].due, slots[next].due))) next = i;
    if (next < 0) {
      pthread_cond_wait(&wakeCond, &timerMutex);
      continue;
    }
    struct timespec now = monotonicNow();
    if (dueBefore(now, slots[next].due)) {
      struct timespec due = slots[next].due;
      pthread_cond_timedwait(&wakeCond, &timerMutex, &due);
      continue;  // re-examine: the slot may have been re-armed or cancelled
    }
    TimerCallback cb = slots[next].callback;
    slots[next].armed = false;
    runningCallbacks++;
    pthread_mutex_unlock(&timerMutex);
    if (cb) cb();
    pthread_mutex_lock(&timerMutex);
    runningCallbacks--;
    pthread_cond_broadcast(&idleCond);
  }
  return nullptr;
}

// Called with timerMutex held.
int ensureThread() {
  if (threadStarted) return 0;
  pthread_condattr_t attr;
  pthread_condattr_init(&attr);
  pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
  pthread_cond_init(&wakeCond, &attr);
  pthread_condattr_destroy(&attr);
  pthread_cond_init(&idleCond, nullptr);
  pthread_attr_t threadAttr;
  pthread_attr_init(&threadAttr);
  pthread_attr_setdetachstate(&threadAttr, PTHREAD_CREATE_DETACHED);
  int ret = pthread_create(&timerThread, &threadAttr, timerThreadBody, nullptr);
  pthread_attr_destroy(&threadAttr);
  if (ret != 0) {
    pthread_cond_destroy(&wakeCond);
    pthread_cond_destroy(&idleCond);
    return ret;
  }
  threadStarted = true;
  return 0;
}

}  // namespace

int timerArm(int slot, int ms, TimerCallback cb) {
  if (slot < 0 || slot >= TIMER_SLOTS) return EINVAL;
  pthread_mutex_lock(&timerMutex);
  int ret = ensureThread();
  if (ret == 0) {
    struct timespec due = monotonicNow();
    if (ms > 0) {
      due.tv_sec += ms / 1000;
      due.tv_nsec += (long)(ms % 1000) * 1000000L;
      if (due.tv_nsec >= 1000000000L) {
        due.tv_sec++;
        due.tv_nsec -= 1000000000L;
      }
    }
    slots[slot].due = due;
    slots[slot].callback = cb;
    slots[slot].armed = true;
    pthread_cond_signal(&wakeCond);
  }
  pthread_mutex_unlock(&timerMutex);
  return ret;
}

void timerCancel(int slot) {
  if (slot < 0 || slot >= TIMER_SLOTS) return;
  pthread_mutex_lock(&timerMutex);
  slots[slot].armed = false;
  if (threadStarted && !pthread_equal(pthread_self(), timerThread)) {
    while (runningCallbacks > 0) pthread_cond_wait(&idleCond, &timerMutex);
  }
  pthread_mutex_unlock(&timerMutex);
}

bool timerArmed(int slot) {
  if (slot < 0 || slot >= TIMER_SLOTS) return false;
  pthread_mutex_lock(&timerMutex);
  bool armed = slots[slot].armed;
  pthread_mutex_unlock(&timerMutex);
  return armed;
}
