// Helper threads, the idle ring, split points and counting semaphores.
//
// How the node search uses a split point (through the hooks that startThreads
// installs, engine/search/parallel.h):
//   in the move loop, before searching a move itself:
//     if (splitHook && splitHook(node, depth, &beta, &alpha, killers, pv, move, child, excluded)) continue;
//   (splitMove makes the whole split decision and hands the move to a helper)
//   after the move loop:
//     if (node->pg->splitPoint == node) endSplitHook(node);
//   stale work: workIsStale(node->pg).
// At a helper's copy of a split node (NODE_SHARED_SPLIT) alpha, the variation,
// the best score and the alpha >= beta test are updated under searchMutex.
#pragma once
#include <atomic>
#include <pthread.h>

#include "engine/board/position.h"
#include "engine/search/parallel.h"
#include "platform/condition.h"
#include "platform/platform.h"

struct alignas(CACHE_LINE_BYTES) Semaphore {
  std::atomic<int> count;  // read without the lock by the split decision
  int waiters;
  pthread_mutex_t mutex;
  PlatformCondition cond;
};

struct alignas(CACHE_LINE_BYTES) IdleRing {
  int ring[81];
  int head;
  int tail;
  int waiters;
  pthread_mutex_t mutex;
  PlatformCondition cond;
};

// WakeRecord::status values.
enum WakeStatus { WAKE_IDLE = 0, WAKE_JOB_HANDED_OVER = 1, WAKE_JOB_TAKEN = 2 };

struct alignas(CACHE_LINE_BYTES) WakeRecord {
  int status;  // WakeStatus
  int waiters;
  pthread_mutex_t mutex;
  PlatformCondition cond;
  Semaphore *children;
};

struct JobArgs {
  Position *splitNode;
  Position *helperCopy;
  Position *child;  // the splitter's child record (its killers are merged back)
  int depth;
  int *beta;
  int *alpha;
  Move *killers;
  Move *pv;
  Move move;
};

struct ThreadRecord {
  WakeRecord wake;
  Semaphore children;
  Board board;
  pthread_t handle;
  JobArgs jobArgs;
  Position *searchPosition;
  Position *childCopy;  // the splitter's child record, copied before the helper is woken
  int holdsSplitUnit;
  int64_t wakeCalledAt;  // when the splitter called wakeHelper (wait statistics)
  // read by other threads' assertions and the end of a search, written at every job
  alignas(CACHE_LINE_BYTES) std::atomic<int> state;  // THREAD_IDLE, THREAD_WAITING or THREAD_WORKING
};

constexpr int MAX_THREAD_RECORDS = 81;
constexpr int THREAD_IDLE = 0;
constexpr int THREAD_WAITING = 1;
constexpr int THREAD_WORKING = 2;
constexpr size_t HELPER_STACK_BYTES = 16u << 20;

extern int cpuCount;
extern int threadCount;
extern int recordLimit;
extern int helperCount;  // helpers created (0 until startThreads)
extern Semaphore semaphoreA;
extern Semaphore semaphoreB;
extern ThreadRecord *thread;  // MAX_THREAD_RECORDS records
extern IdleRing idleRing;

void setThreadCount(int n);
void initThreadRecords(ThreadRecord *records, int count);
void initIdleRing(IdleRing *ring);
int semInit(Semaphore *s, int count);
int semPost(Semaphore *s);
int semTryWait(Semaphore *s);
int semWait(Semaphore *s);
bool idleRingEmpty(const IdleRing *ring);
void wakeHelper(WakeRecord *helperWake, Semaphore *children);
void waitForChildren(Semaphore *children);
// Is every helper back in the idle ring? (tests)
bool idleRingComplete();
// Blocks until every helper is back in the idle ring (end of a search).
void waitHelpersIdle();


// Pool internals shared by the helper loop (split.cpp) and the pool (threads.cpp).
int semaphoreBUnits(int n);            // units of semaphoreB for a thread count
void ringJoin(int i);                  // helper i enters the idle ring
int ringTake();                        // an idle helper id below recordLimit (blocks)
// Helper i's job is over: its unit goes back to `unit` (a splitter blocked on
// it can go on at once) and its splitter's `children` (if any) go down by one,
// each waiter signalled after its mutex is released; then it enters the ring.
void finishJob(int i, Semaphore *unit, Semaphore *children);
