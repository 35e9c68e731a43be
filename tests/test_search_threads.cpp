// The node search with helper threads at split points: the result is a legal
// line, and after the search every helper is back in the idle ring, no table
// entry is locked and no save slot is held. A root whose moves are all decided
// by tablebase probes: every move is probed and the shortest mate wins, with
// any number of helpers.
#include <gtest/gtest.h>

#include <atomic>
#include <set>

#include "engine/eval/save_slots.h"
#include "engine/search/parallel.h"
#include "engine/smp/split.h"
#include "engine/smp/threads.h"
#include "tests/search_harness.h"

using namespace harness;

namespace {

TEST(SearchThreads, SplitSearchesGiveLegalLinesAndCleanState) {
  initOnce();
  ASSERT_GT(startThreads(4), 0);
  const char *fens[] = {
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
      "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
      "k7/8/2K5/8/8/8/8/7R w - -",
  };
  int raisedAtSplits = 0;
  for (const char *fen : fens) {
    ASSERT_TRUE(setFen(fen));
    clearHash(&hashTable);
    Result r = searchRoot(11);
    waitHelpersIdle();
    if (splitEpochCounter.load() > 1) raisedAtSplits++;  // a helper raised alpha at a split point
    std::string why;
    EXPECT_TRUE(lineIsLegal(&rootPosition, r.pv, &why)) << fen << ": " << why;
    EXPECT_GT(r.score, -9000) << fen;
    EXPECT_TRUE(idleRingComplete()) << fen;
    EXPECT_EQ(lockedEntries(), 0) << fen;
    EXPECT_TRUE(allSaveSlotsFree()) << fen;
  }
  EXPECT_GT(raisedAtSplits, 0) << "no helper ever raised alpha at a split point";
  // the mate in two is still found with helpers
  ASSERT_TRUE(setFen("k7/8/2K5/8/8/8/8/7R w - -"));
  EXPECT_EQ(searchRoot(9).score, 9995);
  waitHelpersIdle();
}

// ---- a root decided by tablebase probes ----
// Black to move with king and knight against king and knight: the test's probe
// answers every position of the four men with White to move as "White is mated
// in 23", except with Black's king on g1 (after f1g1): mated in 20. So every
// root move but the capture on g2 is decided by its probe, and f1g1 is best.
const char *KNKN_ROOT = "8/7K/8/8/8/7n/6N1/5k2 b - - 0 1";
constexpr int KNKN_MEN = 4;
constexpr int G1 = 0x06;
constexpr int SHORTEST_MATE = 20, OTHER_MATES = 23;
constexpr int KNKN_PROBED_CHILDREN = 7;  // the eight legal root moves but Kxg2

std::set<std::pair<int, int>> probedChildren;  // (black king, black knight); written under searchMutex
std::atomic<int> helperRootReports{0};
std::atomic<int> reportsPastRestoredBeta{0};
thread_local const Board *reportingBoard = nullptr;

int knknProbe(Board *b, int side, int, int *value) {
  if (b->menCount != KNKN_MEN || side != 1) return 0;
  const int blackKing = kingSquare(b, -1);
  int blackKnight = NO_SQUARE;
  for (int sq = 0; sq < 0x78; sq++)
    if (onBoard(sq) && pieceOn(b, sq)->desc.code == BLACK_KNIGHT) blackKnight = sq;
  probedChildren.insert({blackKing, blackKnight});
  *value = blackKing == G1 ? -SHORTEST_MATE : -OTHER_MATES;
  return 1;
}

void noteReportingBoard(int, const Position *node, int) { reportingBoard = node ? node->pg : nullptr; }

// A root report made by a helper: is the root's window as the other threads
// see it at that moment consistent? An alpha at or above a narrowed beta that
// is about to be given back (a fail high against the narrowed beta) would end
// the master's move loop with moves left unsearched.
void checkWindowAtReport(int, int, const Move *, int) {
  const Board *b = reportingBoard;
  if (!b || b->threadId <= 1) return;
  const JobArgs &job = thread[b->threadId - 1].jobArgs;
  if (job.splitNode->parent) return;
  helperRootReports++;
  const int alpha = loadShared(job.alpha);
  const int beta = loadShared(job.beta);
  if (alpha >= beta && beta < job.splitNode->savedBeta) reportsPastRestoredBeta++;
}

// Installs the test's hooks for one test and puts the search's back after it.
struct KnknHooks {
  decltype(tablebaseHook) savedProbe = tablebaseHook;
  decltype(pvHook) savedPv = pvHook;
  decltype(currentMoveHook) savedCurrentMove = currentMoveHook;
  int32_t savedMen = tbMenLimit;
  KnknHooks() {
    tablebaseHook = knknProbe;
    pvHook = checkWindowAtReport;
    currentMoveHook = noteReportingBoard;
    tbMenLimit = KNKN_MEN;
  }
  ~KnknHooks() {
    tablebaseHook = savedProbe;
    pvHook = savedPv;
    currentMoveHook = savedCurrentMove;
    tbMenLimit = savedMen;
  }
};

TEST(SearchThreads, EveryRootMoveIsProbedAndTheShortestMateWins) {
  initOnce();
  ASSERT_GT(startThreads(4), 0);
  KnknHooks hooks;
  const int expected = MATE_SCORE - 2 * SHORTEST_MATE;  // Black mates in 20
  for (int threads : {1, 4, 1, 4}) {
    setThreadCount(threads);
    for (int run = 0; run < 10; run++) {
      ASSERT_TRUE(setFen(KNKN_ROOT));
      clearHash(&hashTable);
      probedChildren.clear();
      // One iteration at depth 10, as "go depth 10" runs it: the root narrows
      // beta from its internal search's score, so the first probed mate fails
      // high against the narrowed beta.
      Result r = searchRoot(10, true, true, 10);
      waitHelpersIdle();
      EXPECT_EQ(r.score, expected) << threads << " threads, run " << run;
      EXPECT_EQ(r.pv[0], mv("f1g1")) << threads << " threads, run " << run;
      EXPECT_EQ(probedChildren.size(), size_t(KNKN_PROBED_CHILDREN)) << threads << " threads, run " << run;
    }
  }
  setThreadCount(4);
  EXPECT_GT(helperRootReports.load(), 0) << "no helper reported a root move";
  EXPECT_EQ(reportsPastRestoredBeta.load(), 0)
      << "a helper's root report saw alpha above a narrowed beta that was still to be given back";
}

}  // namespace
