// A condition variable on one futex word: a waiter sleeps until the word's
// sequence number moves on; a signal moves it and wakes one sleeper, and
// never waits for threads woken before (the threads library's condition may
// block a signaller until earlier wakees have run).
#pragma once
#include <pthread.h>
#include <atomic>
#include <cstdint>

struct PlatformCondition {
  std::atomic<uint32_t> sequence{0};
};

// Releases the mutex, sleeps until signalled (or spuriously), takes it again.
int conditionWait(PlatformCondition *c, pthread_mutex_t *mutex);
int conditionSignal(PlatformCondition *c);
int conditionBroadcast(PlatformCondition *c);
