// Where the threads of a split search wait: time per kind of wait and per
// thread, and a sampler of what each thread is doing (how many threads search
// on average), gathered only in a build configured with TESSEL_SMP_STATS (the
// benchmarks print them); otherwise every call below compiles to nothing.
#pragma once
#include <cstdint>

// Kinds of time a thread spends outside its own search.
enum WaitKind {
  WAIT_IDLE = 0,      // a helper in the idle ring, without a job
  WAIT_WAKE,          // from the splitter's wake-up call to the helper running
  WAIT_UNIT,          // a splitter blocked on semaphoreA
  WAIT_RING,          // a splitter waiting for an idle helper id
  WAIT_HANDOVER,      // a splitter copying its board and node for a helper
  WAIT_CHILDREN,      // a splitter waiting for the helpers of its node
  WAIT_MERGE,         // a helper merging its result under searchMutex
  WAIT_RETURN,        // a helper telling its splitter and returning its unit
  HELPER_JOB,         // searching (a helper's job; work, for comparison)
  WAIT_KIND_COUNT
};

// Helper jobs by the nodes they searched, in classes of a decimal order:
// 0, 1-9, 10-99, 100-999, 1000-9999, 10000 and more.
constexpr int JOB_SIZE_CLASSES = 6;

#ifdef TESSEL_SMP_STATS
constexpr bool smpStatsEnabled = true;
int64_t statsNow();  // monotonic nanoseconds
// A thread enters a kind of wait: returns the time, for statsAdd.
int64_t statsEnter(int thread, WaitKind kind);
// Adds the time since `since` to a thread's total of a kind (one count).
void statsTime(int thread, WaitKind kind, int64_t since);
// The same, and the thread is searching again.
void statsAdd(int thread, WaitKind kind, int64_t since);
// One job of a helper: the nodes it searched and how long it took.
void statsJobSize(int thread, int64_t nodes, int64_t ns);
#else
constexpr bool smpStatsEnabled = false;
inline int64_t statsNow() { return 0; }
inline int64_t statsEnter(int, WaitKind) { return 0; }
inline void statsTime(int, WaitKind, int64_t) {}
inline void statsAdd(int, WaitKind, int64_t) {}
inline void statsJobSize(int, int64_t, int64_t) {}
#endif
// The sampler: every period it notes what each thread is doing and how many
// units of semaphoreA are free, until stopped (the master counts as searching).
void statsStartSampler(int periodMicros);
void statsStopSampler();
// Average number of threads found in a kind, and of free units, per sample.
double statsAverageThreads(WaitKind kind);
double statsAverageFreeUnits();
// Of those, the free units while no splitter waited for one (no work to hand over).
double statsAverageUnusedUnits();
// Totals over all threads (nanoseconds and counts); zeroed by statsReset.
int64_t statsTotalNs(WaitKind kind);
int64_t statsTotalCount(WaitKind kind);
int64_t statsJobCount(int sizeClass);
int64_t statsJobNs(int sizeClass);
const char *jobSizeName(int sizeClass);
void statsReset();
const char *waitKindName(WaitKind kind);
