// The helper loop and the hand-over of one move at a split point: a helper
// waits in the idle ring, takes up the job handed to it, searches the move on
// its own copies of the board and the node, merges its results and returns.
#include "engine/smp/split.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/board/board_copy.h"
#include "engine/board/game/game.h"
#include "engine/search/parallel.h"
#include "engine/search/root/control.h"
#include "engine/search/search_move.h"
#include "engine/smp/threads.h"
#include "engine/smp/wait_stats.h"
#include "platform/platform.h"

#define PT_CHECK(call) ENGINE_ASSERT((call) == 0)

static const Move emptyExcludedList[1] = {NO_MOVE};
alignas(CACHE_LINE_BYTES) std::atomic<int64_t> movesHandedOver{0};

// ---- the helper loop ----
static void *threadMain(void *arg) {
  const int i = (int)(intptr_t)arg;
  ThreadRecord *t = &thread[i];
  int64_t idleSince = statsEnter(i, WAIT_IDLE);
  ringJoin(i);
  for (;;) {
    t->holdsSplitUnit = 0;
    t->state.store(THREAD_IDLE);

    PT_CHECK(pthread_mutex_lock(&t->wake.mutex));
    t->wake.waiters++;
    ENGINE_ASSERT(t->wake.status != WAKE_JOB_TAKEN && "status != workInProgress");
    while (t->wake.status != WAKE_JOB_HANDED_OVER) PT_CHECK(conditionWait(&t->wake.cond, &t->wake.mutex));
    t->wake.status = WAKE_JOB_TAKEN;
    t->wake.waiters--;
    const int64_t wokenAt = t->wakeCalledAt;
    PT_CHECK(pthread_mutex_unlock(&t->wake.mutex));
    if (smpStatsEnabled) {
      statsAdd(i, WAIT_IDLE, idleSince);
      statsAdd(i, WAIT_WAKE, wokenAt);
    }

    t->state.store(THREAD_WORKING);
    const int64_t jobStart = statsNow();
    const JobArgs job = t->jobArgs;
    Position *p = job.helperCopy;
    Board *own = p->pg;
    ENGINE_ASSERT(own->threadId == i + 1 && "pg->threadId == iThread + 1");

    Position *c = t->childCopy;  // filled by the splitter before the wake-up
    const KillerPair before = readKillers(c->childKillers);
    p->nodeFlags |= NODE_SHARED_SPLIT;
    const int triedAtStart = p->movesTried;
    const Move *excluded = job.splitNode->parent ? nullptr : emptyExcludedList;
    do {
      p->movesTried = triedAtStart;
      setBoardEpoch(own, boardEpoch(own->masterBoard));
      const int alpha = loadShared(job.alpha);  // alpha first: see parallel.h
      if (alpha >= loadShared(job.beta)) break;
      searchMove(p, job.depth, job.beta, job.alpha, job.killers, job.pv, job.move, c, excluded);
    } while (workIsStale(own) && !stopFlag.load(std::memory_order_relaxed));

    statsAdd(i, HELPER_JOB, jobStart);
    if (smpStatsEnabled) statsJobSize(i, own->nodeCount, statsNow() - jobStart);
    const int64_t mergeStart = statsEnter(i, WAIT_MERGE);
    PT_CHECK(pthread_mutex_lock(&searchMutex));
    if (p->movesTried > triedAtStart) addMovesTried(job.splitNode, 1);
    const KillerPair now = readKillers(job.child->childKillers);
    if (now.first == before.first && now.second == before.second) {
      const KillerPair mine = readKillers(c->childKillers);
      setKillers(job.child->childKillers, mine.first, mine.second);
    }
    if (p->bestScore > job.splitNode->bestScore) job.splitNode->bestScore = p->bestScore;
    PT_CHECK(pthread_mutex_unlock(&searchMutex));
    statsAdd(i, WAIT_MERGE, mergeStart);
    const int64_t returnStart = statsEnter(i, WAIT_RETURN);
    if (own != &gameBoard) {
      addHelperNodes(__atomic_exchange_n(&own->nodeCount, 0, __ATOMIC_RELAXED));
    }

    PT_CHECK(pthread_mutex_lock(&t->wake.mutex));
    ENGINE_ASSERT(t->wake.status == WAKE_JOB_TAKEN && "status == workInProgress");
    t->wake.status = WAKE_IDLE;
    Semaphore *children = t->wake.children;
    t->wake.children = nullptr;
    PT_CHECK(pthread_mutex_unlock(&t->wake.mutex));
    finishJob(i, t->holdsSplitUnit ? &semaphoreB : &semaphoreA, children);
    statsTime(i, WAIT_RETURN, returnStart);
    idleSince = statsNow();
  }
  return nullptr;
}

// ---- pool ----
int startThreads(int requested) {
  if (helperCount > 0) return helperCount;  // created once; later calls change nothing
  splitHook = splitMove;
  endSplitHook = endSplit;
  helpersIdleHook = waitHelpersIdle;
  cpuCount = std::min(40, platformCpuCount());
  threadCount = requested > 0 ? std::min(requested, cpuCount) : cpuCount;
  recordLimit = 2 * threadCount + 1;
  // The semaphores' mutexes and conditions were initialised at load.
  semaphoreA.count.store(threadCount);
  semaphoreB.count.store(semaphoreBUnits(threadCount));
  int n = 2 * cpuCount;
  for (int i = 1; i <= n; i++) {
    ThreadRecord *t = &thread[i];
    t->state.store(THREAD_IDLE);
    t->searchPosition = new Position();
    t->childCopy = new Position();
    t->searchPosition->childKillers[0] = NO_MOVE;
    t->searchPosition->pg = &t->board;
    t->board.threadId = i + 1;
    t->board.masterBoard = &t->board;
    t->board.splitPoint = &noSplitPosition;
    int err = platformStartThread(threadMain, (void *)(intptr_t)i, HELPER_STACK_BYTES);
    ENGINE_ASSERT(err == 0);
  }
  helperCount = n;
  waitHelpersIdle();  // every helper has entered the ring before the first search
  return n;
}

// ---- split points ----
int splitMove(Position *node, int depth, int *beta, int *alpha, Move *killers, Move *pv, Move move,
              Position *child, const Move *excluded) {
  if (helperCount == 0 || depth < 8 || loadShared(&node->movesTried) < 1) return 0;
  Board *b = node->pg;
  Position *sp = b->splitPoint;
  if (sp != nullptr && sp != node && sp != &noSplitPosition) return 0;
  if ((node->nodeFlags & NODE_CAPTURES_ONLY) || (excluded && moveFrom(*excluded) != NO_SQUARE)) return 0;
  if (stopFlag.load(std::memory_order_relaxed) || workIsStale(b)) return 0;
  const int s = b->threadId - 1;
  ThreadRecord *self = &thread[s];
  if (s > 0) {
    if (sp == &noSplitPosition) {
      // A helper's first split of its job: it trades its unit of A for one of B.
      if (semaphoreA.count.load(std::memory_order_relaxed) <= 0) return 0;
      if (semTryWait(&semaphoreB) != 0) return 0;
      self->holdsSplitUnit = 1;
      PT_CHECK(semPost(&semaphoreA));
    }
  } else if (sp == &noSplitPosition) {
    for (int i = 0; i <= 2 * threadCount && i <= helperCount; i++)
      ENGINE_ASSERT(thread[i].state.load() != THREAD_WAITING && "thread[iThread].status != waiting");
  }

  b->splitPoint = node;
  self->state.store(THREAD_WAITING);
  int64_t since = statsEnter(s, WAIT_UNIT);
  PT_CHECK(semWait(&semaphoreA));
  statsAdd(s, WAIT_UNIT, since);
  since = statsEnter(s, WAIT_RING);
  const int h = ringTake();
  statsAdd(s, WAIT_RING, since);
  self->state.store(THREAD_WORKING);
  since = statsEnter(s, WAIT_HANDOVER);

  ThreadRecord *helper = &thread[h];
  Board *hb = &helper->board;
  Position *p = helper->searchPosition;
  copyBoard(hb, b);
  // The node and its child record are copied under searchMutex: the helpers
  // of this node merge their results into both under it.
  PT_CHECK(pthread_mutex_lock(&searchMutex));
  copyPosition(p, node);
  Position *c = helper->childCopy;
  copyPosition(c, child);
  PT_CHECK(pthread_mutex_unlock(&searchMutex));
  rebasePosition(p, b, hb);
  setBoardEpoch(hb, splitEpochCounter.load());
  hb->masterBoard = b;
  hb->splitPoint = &noSplitPosition;
  // The child record was copied before the helper runs: the splitter goes on
  // using its own child record for its next move.
  rebasePosition(c, b, hb);
  c->parent = p;
  helper->jobArgs = JobArgs{node, p, child, depth, beta, alpha, killers, pv, move};
  statsAdd(s, WAIT_HANDOVER, since);
  helper->wakeCalledAt = statsEnter(h, WAIT_WAKE);
  wakeHelper(&helper->wake, &self->children);
  movesHandedOver.fetch_add(1, std::memory_order_relaxed);
  ENGINE_ASSERT(b->splitPoint == node && "pg->splitPoint == this");
  return 1;
}

void endSplit(Position *node) {
  Board *b = node->pg;
  ENGINE_ASSERT(b->splitPoint != &noSplitPosition && "position->pg->splitPoint != &noSplitPosition");
  ThreadRecord *self = &thread[b->threadId - 1];
  b->splitPoint = nullptr;
  self->state.store(THREAD_WAITING);
  const int64_t since = statsEnter(b->threadId - 1, WAIT_CHILDREN);
  waitForChildren(&self->children);
  statsAdd(b->threadId - 1, WAIT_CHILDREN, since);
  self->state.store(THREAD_WORKING);
  setBoardEpoch(b, splitEpochCounter.load());
}

