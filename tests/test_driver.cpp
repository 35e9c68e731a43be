// The search driver, run through the operations table of the engine core
// linked into this test: depth limits, multi-PV, the single-legal-move stop,
// mate scores, the easy-move rule and the timer-driven stops.
#include "engine/board/moves/legal_moves.h"
#include "engine/search/root/control.h"
#include "module/callbacks.h"
#include "tests/module_harness.h"

using namespace harness;

namespace {

class DriverTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static EngineCallbacks cb = makeCallbacks();
    EngineInit(&cb, &ops);
    ops.initEngine(8u << 20, 0);
  }
  void SetUp() override {
    recorder.clear();
    ops.resetStop();
  }
  void TearDown() override { run.join(); }
  void position(const char *fen, const std::vector<Move> &moves = {}) {
    ASSERT_EQ(ops.setFen(fen), 0);
    for (Move m : moves) ASSERT_EQ(ops.playMove(m, ' '), 0);
    ops.newGame();
    ops.resetStop();
    recorder.clear();
    legalCount = legalMoves(&rootPosition, legal, MAX_ROOT_MOVES);
  }
  bool isLegal(Move m) const {
    for (int i = 0; i < legalCount; i++)
      if (legal[i] == m) return true;
    return false;
  }
  int maxReportedDepth() {
    int d = 0;
    for (auto &r : recorder.reports()) d = std::max(d, r.depth);
    return d;
  }

  static EngineOps ops;
  Move legal[MAX_ROOT_MOVES];
  int legalCount = 0;
  SearchRun run;
};
EngineOps DriverTest::ops;

const char *MIDDLEGAME = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";

TEST_F(DriverTest, FixedDepthRunsExactlyThatIteration) {
  position(MIDDLEGAME);
  ops.setTimeControl(0, 7, 0, 0, 0);
  ops.runSearch(1, 0);
  auto reports = recorder.reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().depth, 7);
  EXPECT_EQ(maxReportedDepth(), 7);
  EXPECT_TRUE(isLegal(reports.back().line.at(0)));
  EXPECT_EQ(currentDepth, 7);
}

TEST_F(DriverTest, DepthBelowTwoSearchesTwo) {
  for (int depth : {1, 0, -5}) {
    position(MIDDLEGAME);
    ops.setTimeControl(0, depth, 0, 0, 0);
    ops.runSearch(1, 0);
    auto reports = recorder.reports();
    ASSERT_FALSE(reports.empty()) << "depth " << depth;
    EXPECT_EQ(reports.back().depth, 2);
    EXPECT_TRUE(isLegal(reports.back().line.at(0)));
  }
}

TEST_F(DriverTest, MaxDepthSettingLimitsTheSearch) {
  EngineSettings s;
  ops.getSettings(&s);
  s.maxDepth = 5;
  ops.setSettings(&s);
  position(MIDDLEGAME);
  ops.setTimeControl(0, 9, 0, 0, 0);
  ops.runSearch(1, 0);
  EXPECT_EQ(maxReportedDepth(), 5);
  s.maxDepth = 60;
  ops.setSettings(&s);
}

TEST_F(DriverTest, MultiPvGivesDistinctLines) {
  position(MIDDLEGAME);
  ops.setTimeControl(0, 6, 0, 0, 0);
  ops.runSearch(3, 0);
  auto reports = recorder.reports();
  {
    // A fixed-depth search runs the one iteration: the last report of each line.
    const int depth = 6;
    std::vector<Move> first(3, NO_MOVE);
    std::vector<int> scores(3, -99999);
    for (auto &r : reports)
      if (r.depth == depth && r.pvIndex >= 0 && r.pvIndex < 3 && !r.line.empty()) {
        first[r.pvIndex] = r.line[0];
        scores[r.pvIndex] = r.score;
      }
    for (int i = 0; i < 3; i++) EXPECT_TRUE(isLegal(first[i])) << "depth " << depth << " line " << i;
    EXPECT_NE(first[0], first[1]) << "depth " << depth;
    EXPECT_NE(first[0], first[2]) << "depth " << depth;
    EXPECT_NE(first[1], first[2]) << "depth " << depth;
    EXPECT_GE(scores[0] + 10, scores[1]);
    EXPECT_GE(scores[1] + 10, scores[2]);
  }
  for (auto &r : reports) EXPECT_LT(r.pvIndex, 3);
}

TEST_F(DriverTest, MultiPvIsClampedToTheLegalMoves) {
  // Rb2 holds the second rank: Kg1 and a4a5 are the two legal moves.
  position("4k3/8/8/8/P7/8/1r6/7K w - -");
  ASSERT_EQ(legalCount, 2);
  ops.setTimeControl(0, 5, 0, 0, 0);
  ops.runSearch(5, 0);
  auto reports = recorder.reports();
  ASSERT_FALSE(reports.empty());
  for (auto &r : reports) {
    EXPECT_LT(r.pvIndex, 2);
    if (!r.line.empty()) {
      EXPECT_TRUE(isLegal(r.line[0]));
    }
  }
}

TEST_F(DriverTest, SingleLegalMoveStopsAfterDepthSeven) {
  // Only a4a5 is legal: Rg8 holds the g-file, Ra2 the second rank.
  position("4k1r1/8/8/8/P7/8/r7/7K w - -");
  ASSERT_EQ(legalCount, 1);
  ops.setTimeControl(6, 100000000, 0, 0, 0);  // so much time that only a stop rule ends it
  run.start(&ops, 1, 0);
  bool ended = run.waitDone(60000);
  if (!ended) ops.stopSearch();
  ASSERT_TRUE(ended) << "the single-legal-move rule did not stop the search";
  run.join();
  int depth = maxReportedDepth();
  EXPECT_GE(depth, 7);
  EXPECT_LE(depth, 9);
  auto reports = recorder.reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().line.at(0), mv("a4a5"));
}

TEST_F(DriverTest, MateInOneScores9997) {
  position("6k1/5ppp/8/8/8/8/8/R5K1 w - -");
  ops.setTimeControl(0, 5, 0, 0, 0);
  ops.runSearch(1, 0);
  auto reports = recorder.reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().score, 9997);
  EXPECT_EQ(reports.back().line.at(0), mv("a1a8"));
}

TEST_F(DriverTest, EasyRecaptureRaisesTheTimeFactor) {
  // Black's queen takes the knight on d5; the rook's recapture is the only move.
  position("3qk3/8/8/3N4/8/8/3R4/4K3 b - -", {mv("d8d5")});
  // a long clock, so the test is made within its early share of the time even
  // on a slow (sanitizer) build; the easy-move factor then ends the search early
  ops.setTimeControl(6, 300000, 0, 0, 0);
  run.start(&ops, 1, 0);
  bool ended = run.waitDone(30000);
  if (!ended) ops.stopSearch();
  ASSERT_TRUE(ended);
  run.join();
  EXPECT_EQ(timeFactor, 50);
  auto reports = recorder.reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().line.at(0), mv("d2d5"));
}

// The timer stops an iteration only once the first one has a move.
TEST_F(DriverTest, EarlyTimerStopWaitsForTheFirstIteration) {
  position(MIDDLEGAME);
  ops.setTimeControl(4, 1, 0, 0, 0);
  run.start(&ops, 1, 0);
  ASSERT_TRUE(recorder.waitFor([] { return !recorder.timerCalls.empty(); }, 5000));
  ops.timerExpired();
  ASSERT_TRUE(run.waitDone(20000));
  run.join();
  auto reports = recorder.reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_GE(reports.back().depth, 3);
  EXPECT_TRUE(isLegal(reports.back().line.at(0)));
  EXPECT_EQ(recorder.timers().back(), 0);
}

TEST_F(DriverTest, TimerAfterAnIterationStopsAtOnce) {
  position(MIDDLEGAME);
  ops.setTimeControl(6, 600000, 0, 0, 0);
  run.start(&ops, 1, 0);
  ASSERT_TRUE(recorder.waitFor(
      [] {
        for (auto &r : recorder.pvs)
          if (r.depth >= 6) return true;
        return false;
      },
      30000));
  // The first expiry stops at once or arms the one extension; the second stops.
  ops.timerExpired();
  if (!run.waitDone(300)) ops.timerExpired();
  EXPECT_TRUE(run.waitDone(5000)) << "the second expiry after an iteration stops the search";
  ops.stopSearch();
  run.join();
  EXPECT_EQ(recorder.timers().back(), 0);
}

// While pondering the time rule only sets timeUp; the ponderhit then stops.
TEST_F(DriverTest, PonderHitAfterTheTimeRuleStopsAtOnce) {
  position(MIDDLEGAME);
  ops.setTimeControl(6, 1000, 0, 0, 0);  // one second left: the rule fires early
  run.start(&ops, 1, 1);
  bool fired = false;
  for (int i = 0; i < 2000 && !fired; i++) {
    fired = timeUp.load() && iterationDone.load();
    if (!fired) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(fired) << "the time rule never fired while pondering";
  EXPECT_FALSE(run.done.load()) << "a ponder search waits for ponderhit or stop";
  ops.ponderHit();
  bool ended = run.waitDone(3000);
  if (!ended) ops.stopSearch();
  EXPECT_TRUE(ended);
  run.join();
  EXPECT_EQ(recorder.timers().back(), 0);
}

TEST_F(DriverTest, StoppedSearchReportsALegalMove) {
  position(MIDDLEGAME);
  ops.setTimeControl(6, 60000, 0, 0, 0);
  ops.stopSearch();
  ops.runSearch(1, 0);
  auto reports = recorder.reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(isLegal(reports[0].line.at(0)));
}

TEST_F(DriverTest, NoLegalMoveReportsNothingAndEnds) {
  position("7k/6Q1/6K1/8/8/8/8/8 b - -");  // black is checkmated
  ASSERT_EQ(legalCount, 0);
  ops.setTimeControl(0, 4, 0, 0, 0);
  ops.runSearch(1, 0);
  for (auto &r : recorder.reports()) EXPECT_TRUE(r.line.empty());
}

}  // namespace
