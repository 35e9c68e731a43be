// Helper threads: the semaphores and the board copy on their own, then a
// stress run of many searches with random thread counts, stops and
// ponderhits that must never hang and must always end with a legal move,
// leaving no locked table entry, no held save slot and a complete idle ring.
#include <cstdlib>
#include <random>

#include "engine/board/board_copy.h"
#include "engine/board/moves/legal_moves.h"
#include "engine/search/hash.h"
#include "engine/eval/save_slots.h"
#include "engine/smp/split.h"
#include "engine/smp/threads.h"
#include "module/callbacks.h"
#include "tests/module_harness.h"

using namespace harness;

namespace {

EngineOps ops;

void initOnce() {
  static bool ready = false;
  if (ready) return;
  static EngineCallbacks cb = makeCallbacks();
  EngineInit(&cb, &ops);
  ops.initEngine(16u << 20, 0);
  ready = true;
}

TEST(Semaphore, CountsWaitsAndPosts) {
  Semaphore s;
  ASSERT_EQ(semInit(&s, 2), 0);
  EXPECT_EQ(semTryWait(&s), 0);
  EXPECT_EQ(semTryWait(&s), 0);
  EXPECT_EQ(semTryWait(&s), 1);  // empty
  std::atomic<bool> woke{false};
  std::thread waiter([&] {
    semWait(&s);
    woke = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(woke.load());
  EXPECT_EQ(semPost(&s), 0);
  waiter.join();
  EXPECT_TRUE(woke.load());
  EXPECT_EQ(s.count.load(), 0);
}

// The end of a job wakes both a splitter blocked on the unit and the splitter
// waiting for its last helper, and leaves the helper in the idle ring (the
// signals come after the mutexes are released: a lost wake-up would hang here).
TEST(Semaphore, FinishedJobWakesUnitAndChildrenWaiters) {
  ASSERT_EQ(helperCount, 0);  // no pool in this process: the ring is ours
  for (int round = 0; round < 200; round++) {
    Semaphore unit, children;
    ASSERT_EQ(semInit(&unit, 0), 0);
    ASSERT_EQ(semInit(&children, 1), 0);
    std::thread unitWaiter([&] { semWait(&unit); });
    std::thread childrenWaiter([&] { waitForChildren(&children); });
    if (round % 2) std::this_thread::sleep_for(std::chrono::microseconds(200));  // waiters asleep
    finishJob(1, &unit, &children);
    unitWaiter.join();
    childrenWaiter.join();
    EXPECT_EQ(unit.count.load(), 0);
    EXPECT_EQ(children.count.load(), 0);
    EXPECT_FALSE(idleRingEmpty(&idleRing));
    EXPECT_EQ(ringTake(), 1);
    EXPECT_TRUE(idleRingEmpty(&idleRing));
  }
}

uintptr_t lineOf(const void *p) { return (uintptr_t)p / CACHE_LINE_BYTES; }

// Words that one thread writes at every node or job never share a cache line
// with words that other threads read at every node.
TEST(ThreadPool, HotSharedWordsOnOwnCacheLines) {
  static Board b;
  EXPECT_NE(lineOf(&b.splitEpoch), lineOf(&b.nodeCount));  // epoch: read by helpers; count: make-move
  EXPECT_NE(lineOf(&hashTable.hashFullCount), lineOf(&hashTable.entries));
  EXPECT_NE(lineOf(&hashTable.hashFullCount), lineOf(&hashTable.generation));
  const void *words[] = {&semaphoreA, &semaphoreB, &idleRing, &searchMutex, &splitEpochCounter, &helperNodeCount,
                         &movesHandedOver, &thread[1].wake, &thread[1].children, &thread[1].state, &thread[2].wake};
  for (size_t i = 0; i < sizeof words / sizeof *words; i++)
    for (size_t j = i + 1; j < sizeof words / sizeof *words; j++)
      EXPECT_NE(lineOf(words[i]), lineOf(words[j])) << i << " " << j;
}

TEST(ThreadPool, CountsAndSemaphoreUnits) {
  initOnce();
  EXPECT_EQ(helperCount, 2 * cpuCount);
  EngineSettings s;
  ops.getSettings(&s);
  struct Row {
    int requested, expected;
  };
  for (Row r : {Row{1, 1}, Row{0, cpuCount}, Row{41, cpuCount}, Row{-2, cpuCount}, Row{cpuCount + 5, cpuCount}}) {
    s.threads = r.requested;
    ops.setSettings(&s);
    EXPECT_EQ(threadCount, r.expected) << r.requested;
    EXPECT_EQ(recordLimit, 2 * threadCount + 1);
    EXPECT_EQ(semaphoreA.count.load(), threadCount);
    EXPECT_EQ(semaphoreB.count.load(), std::min(threadCount, threadCount < 9 ? 4 : 16));
  }
  EXPECT_TRUE(idleRingComplete());
  // Units of B: 4 below 9 threads, 16 from 9 on, never more than the threads.
  EXPECT_EQ(semaphoreBUnits(1), 1);
  EXPECT_EQ(semaphoreBUnits(8), 4);
  EXPECT_EQ(semaphoreBUnits(9), 9);
  EXPECT_EQ(semaphoreBUnits(16), 16);
  EXPECT_EQ(semaphoreBUnits(40), 16);
}

TEST(CopyBoard, RebasesEveryPointer) {
  initOnce();
  ASSERT_EQ(ops.setFen("r3k2r/pp1n1ppp/2p1bn2/q3p3/2B1P3/2N2N2/PPPQ1PPP/R3K2R w KQkq -"), 0);
  static Board copy;
  copyBoard(&copy, &gameBoard);
  auto inside = [](const void *p, const Board *b) {
    return (const char *)p >= (const char *)b && (const char *)p < (const char *)b + sizeof(Board);
  };
  for (const PieceRecord *sqp : copy.squareArray) EXPECT_FALSE(inside(sqp, &gameBoard));
  for (int side : {1, -1}) {
    const PieceListHead *h = copy.listHeads[side + 1];
    ASSERT_TRUE(inside(h, &copy));
    const PieceListHead *orig = gameBoard.listHeads[side + 1];
    const PieceRecord *a = h->node.next, *b = orig->node.next;
    int n = 0;
    for (; a != copy.end() && b != gameBoard.end() && n < 40; a = a->next, b = b->next, n++) {
      EXPECT_TRUE(inside(a, &copy));
      EXPECT_EQ(a->square, b->square);
      EXPECT_EQ(a->board, &copy);
      EXPECT_EQ(copy.at(a->square), a);
      EXPECT_TRUE(inside(a->kind, &copy));
    }
    EXPECT_EQ(a, copy.end());
    EXPECT_EQ(b, gameBoard.end());
    EXPECT_EQ(n, 14);  // both sides have 14 men here
  }
  EXPECT_EQ(copy.nodeCount, 0);
}

bool noEntryLocked() {
  for (uint64_t i = 0; i < hashTable.hashEntryCount; i++)
    if (hashTable.entries[i].flags & 0xFF) return false;
  return true;
}

// Many searches with random thread counts and random stop and ponderhit times.
TEST(ThreadStress, RandomStopsAndPonderHits) {
  initOnce();
  const char *fens[] = {
      "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
      "r3k2r/pp1n1ppp/2p1bn2/q3p3/2B1P3/2N2N2/PPPQ1PPP/R3K2R w KQkq -",
      "2r2rk1/pp2qppp/2n1pn2/3p4/3P4/2NBPN2/PP3PPP/2RQ1RK1 b - -",
      "8/5pk1/6p1/3P4/1p3P2/1P4P1/5K2/8 w - -",
      "r4rk1/1ppqbppp/p1np1n2/4p3/2B1P1b1/2NPBN2/PPPQ1PPP/R4RK1 w - -",
  };
  std::mt19937 rng(12345);
  // TESSEL_STRESS_SECONDS shortens the run (sanitizer builds in CI).
  const char *env = getenv("TESSEL_STRESS_SECONDS");
  const int seconds = env ? atoi(env) : 20;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int searches = 0;
  movesHandedOver.store(0);
  EngineSettings s;
  ops.getSettings(&s);
  while (std::chrono::steady_clock::now() < deadline) {
    s.threads = 1 + (int)(rng() % 8);
    ops.setSettings(&s);
    const char *fen = fens[rng() % 5];
    ASSERT_EQ(ops.setFen(fen), 0);
    Move legal[MAX_ROOT_MOVES];
    int legalCount = legalMoves(&rootPosition, legal, MAX_ROOT_MOVES);
    recorder.clear();
    ops.resetStop();
    int kind = (int)(rng() % 4);
    int waitMs = (int)(rng() % 300);
    bool ponder = kind == 2 || kind == 3;
    if (kind == 0)
      ops.setTimeControl(0, 8 + (int)(rng() % 4), 0, 0, 0);
    else
      ops.setTimeControl(6, 60000, 0, 0, 0);
    if (kind == 3 && rng() % 2) ops.ponderHit();  // a ponderhit before the search
    SearchRun run;
    run.start(&ops, 1 + (int)(rng() % 2), ponder ? 1 : 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    if (kind == 2) ops.ponderHit();
    if (kind != 0) ops.timerExpired();
    if (rng() % 2) ops.stopSearch();
    if (!run.waitDone(2000)) ops.stopSearch();
    if (!run.waitDone(20000)) {
      ADD_FAILURE() << "search " << searches << " did not end (kind " << kind << ")";
      std::abort();  // a hang: nothing further can be trusted
    }
    run.join();
    searches++;
    auto reports = recorder.reports();
    ASSERT_FALSE(reports.empty()) << "search " << searches;
    Move best = reports.back().line.empty() ? NO_MOVE : reports.back().line[0];
    bool ok = false;
    for (int i = 0; i < legalCount; i++) ok = ok || legal[i] == best;
    ASSERT_TRUE(ok) << "search " << searches << " ended without a legal move";
    EXPECT_EQ(recorder.overlapped.load(), 0) << "reports interleaved";
    ASSERT_TRUE(idleRingComplete()) << "search " << searches;
    ASSERT_TRUE(allSaveSlotsFree()) << "search " << searches;
    ASSERT_TRUE(noEntryLocked()) << "search " << searches;
  }
  EXPECT_GT(searches, 5);
  EXPECT_GT(movesHandedOver.load(), 0) << "no search ever split";
  s.threads = 0;
  ops.setSettings(&s);
}

}  // namespace
