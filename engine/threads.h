// Helper threads, the idle ring, split points and counting semaphores.
#pragma once
#include <pthread.h>

#include <atomic>

#include "engine/board.h"

struct Semaphore {
  int count;
  int waiters;
  pthread_mutex_t mutex;
  pthread_cond_t cond;
};

struct IdleRing {
  int ring[81];
  int head;
  int tail;
  int waiters;
  pthread_mutex_t mutex;
  pthread_cond_t cond;
};

struct WakeRecord {
  int status;  // 0 idle, 1 a job is handed over, 2 taken up
  int waiters;
  pthread_mutex_t mutex;
  pthread_cond_t cond;
  Semaphore *children;
};

struct JobArgs {
  Position *splitNode;
  Position *helperCopy;
  Position *child;
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
  int holdsSplitUnit;
  int state;  // 0 idle, 1 waiting, 2 workInProgress
};

constexpr int MAX_THREAD_RECORDS = 81;

extern int cpuCount;
extern int threadCount;
extern int recordLimit;
extern Semaphore semaphoreA;
extern Semaphore semaphoreB;
extern pthread_mutex_t searchMutex;
extern std::atomic<int> splitEpochCounter;
extern Position noSplitPosition;
extern ThreadRecord *thread;  // MAX_THREAD_RECORDS records
extern IdleRing idleRing;

int startThreads(int requested);
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
void copyBoard(Board *dst, const Board *src);
void copyPosition(Position *dst, const Position *src);
// Is every helper back in the idle ring? (tests)
bool idleRingComplete();
