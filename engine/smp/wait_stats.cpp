// Per-thread wait totals of a split search (TESSEL_SMP_STATS builds only).
#include "engine/smp/wait_stats.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/smp/threads.h"

namespace {
// One cache line per thread, so that counting does not itself share lines.
struct alignas(64) ThreadWaits {
  std::atomic<int64_t> ns[WAIT_KIND_COUNT];
  std::atomic<int64_t> count[WAIT_KIND_COUNT];
  std::atomic<int64_t> jobNs[JOB_SIZE_CLASSES];
  std::atomic<int64_t> jobCount[JOB_SIZE_CLASSES];
};
ThreadWaits waits[MAX_THREAD_RECORDS];
struct alignas(64) Phase {
  std::atomic<int> kind;
};
Phase phase[MAX_THREAD_RECORDS];
std::thread sampler;
std::atomic<bool> samplerRunning{false};
int64_t samples, freeUnits, freeUnitsNoSplitter, inKind[WAIT_KIND_COUNT];
const char *const kindNames[WAIT_KIND_COUNT] = {"idle", "wake", "unit", "ring", "handover", "children", "merge", "return", "search"};
const char *const sizeNames[JOB_SIZE_CLASSES] = {"0", "1-9", "10-99", "100-999", "1000-9999", "10000+"};
}  // namespace

#ifdef TESSEL_SMP_STATS
int64_t statsNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t statsEnter(int thread, WaitKind kind) {
  phase[thread].kind.store(kind, std::memory_order_relaxed);
  return statsNow();
}

void statsTime(int thread, WaitKind kind, int64_t since) {
  ThreadWaits &w = waits[thread];
  w.ns[kind].fetch_add(statsNow() - since, std::memory_order_relaxed);
  w.count[kind].fetch_add(1, std::memory_order_relaxed);
}

void statsAdd(int thread, WaitKind kind, int64_t since) {
  phase[thread].kind.store(HELPER_JOB, std::memory_order_relaxed);
  statsTime(thread, kind, since);
}

void statsJobSize(int thread, int64_t nodes, int64_t ns) {
  int sizeClass = 0;
  for (int64_t bound = 1; nodes >= bound && sizeClass < JOB_SIZE_CLASSES - 1; bound *= 10) sizeClass++;
  ThreadWaits &w = waits[thread];
  w.jobNs[sizeClass].fetch_add(ns, std::memory_order_relaxed);
  w.jobCount[sizeClass].fetch_add(1, std::memory_order_relaxed);
}
#endif

void statsStartSampler(int periodMicros) {
  samples = freeUnits = freeUnitsNoSplitter = 0;
  for (int64_t &n : inKind) n = 0;
  phase[0].kind.store(HELPER_JOB, std::memory_order_relaxed);
  samplerRunning.store(true);
  sampler = std::thread([periodMicros] {
    while (samplerRunning.load()) {
      bool splitterWaits = false;
      for (int t = 0; t <= helperCount; t++) {
        const int kind = phase[t].kind.load(std::memory_order_relaxed);
        inKind[kind]++;
        splitterWaits |= kind == WAIT_UNIT;
      }
      const int free = semaphoreA.count.load(std::memory_order_relaxed);
      freeUnits += free;
      // A free unit with a splitter blocked on it is a wake-up on its way;
      // without one, no thread had a move to hand over.
      if (!splitterWaits) freeUnitsNoSplitter += free;
      samples++;
      std::this_thread::sleep_for(std::chrono::microseconds(periodMicros));
    }
  });
}

void statsStopSampler() {
  samplerRunning.store(false);
  sampler.join();
}

double statsAverageThreads(WaitKind kind) { return samples ? (double)inKind[kind] / samples : 0; }
double statsAverageFreeUnits() { return samples ? (double)freeUnits / samples : 0; }
double statsAverageUnusedUnits() { return samples ? (double)freeUnitsNoSplitter / samples : 0; }

// The sum over all threads of the counter that `field` picks from a record.
template <typename Field>
static int64_t sumOverThreads(Field field) {
  int64_t t = 0;
  for (const ThreadWaits &w : waits) t += field(w).load(std::memory_order_relaxed);
  return t;
}

using Counter = const std::atomic<int64_t> &;
int64_t statsTotalNs(WaitKind kind) { return sumOverThreads([kind](const ThreadWaits &w) -> Counter { return w.ns[kind]; }); }
int64_t statsTotalCount(WaitKind kind) {
  return sumOverThreads([kind](const ThreadWaits &w) -> Counter { return w.count[kind]; });
}
int64_t statsJobCount(int c) { return sumOverThreads([c](const ThreadWaits &w) -> Counter { return w.jobCount[c]; }); }
int64_t statsJobNs(int c) { return sumOverThreads([c](const ThreadWaits &w) -> Counter { return w.jobNs[c]; }); }

void statsReset() {
  for (ThreadWaits &w : waits) {
    for (int k = 0; k < WAIT_KIND_COUNT; k++) {
      w.ns[k].store(0, std::memory_order_relaxed);
      w.count[k].store(0, std::memory_order_relaxed);
    }
    for (int c = 0; c < JOB_SIZE_CLASSES; c++) {
      w.jobNs[c].store(0, std::memory_order_relaxed);
      w.jobCount[c].store(0, std::memory_order_relaxed);
    }
  }
}

const char *jobSizeName(int sizeClass) { return sizeNames[sizeClass]; }

const char *waitKindName(WaitKind kind) { return kindNames[kind]; }
