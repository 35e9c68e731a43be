// The node search with helper threads at split points: the result is a legal
// line, and after the search every helper is back in the idle ring, no table
// entry is locked and no save slot is held.
#include <gtest/gtest.h>

#include "engine/eval/save_slots.h"
#include "engine/search/parallel.h"
#include "engine/smp/split.h"
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

}  // namespace
