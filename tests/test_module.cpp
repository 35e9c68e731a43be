// The engine module driven through its interface alone: the real shared
// library is loaded with dlopen, bound through EngineInit and run with test
// callbacks (a hand-fired timer and recorded reports).
#include <dlfcn.h>

#include "engine/search/root/timealloc.h"
#include "tests/module_harness.h"

using namespace harness;

namespace {

const char *START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

struct Module {
  void *library = nullptr;
  EngineOps ops;
  EngineCallbacks cb;
  EngineSettings settingsAtInit;
  uint64_t initZero = 99, initHash = 0;
  int playBeforeInit = -1, fenBeforeInit = -1;
  std::string error;
};

Module &module() {
  static Module m;
  return m;
}

class ModuleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Module &m = module();
    if (m.library) return;
    std::string path = std::string(TESSEL_BIN_DIR) + "/tessel12.5.x64.so";
    m.library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m.library) {
      m.error = dlerror();
      return;
    }
    auto init = (EngineInitFn)dlsym(m.library, "EngineInit");
    if (!init) {
      m.error = "no EngineInit";
      return;
    }
    memset(&m.ops, 0, sizeof m.ops);
    m.ops.reservedSlot8 = (void *)&m;  // the module must leave slot 8 alone
    m.cb = makeCallbacks();
    init(&m.cb, &m.ops);
    m.ops.getSettings(&m.settingsAtInit);
    // Before initEngine: set-up, moves and a new game are safe.
    m.fenBeforeInit = m.ops.setFen(nullptr);
    m.playBeforeInit = m.ops.playMove(mv("e2e4"), ' ');
    m.ops.newGame();
    m.initZero = m.ops.initEngine(0, 5);
    m.initHash = m.ops.initEngine(1u << 20, 0);
  }
  void SetUp() override {
    ASSERT_NE(module().library, nullptr) << module().error;
    ops = &module().ops;
    recorder.clear();
    ops->resetStop();
  }
  void TearDown() override {
    run.join();
  }
  // A new game from a FEN with a time control, ready to search.
  void position(const char *fen, int mode, int a, int b = 0, int c = 0, int d = 0) {
    ASSERT_EQ(ops->setFen(fen), 0);
    ops->setTimeControl(mode, a, b, c, d);
    ops->resetStop();
    recorder.clear();
  }
  bool sawTimer(int ms, int waitMs = 5000) {
    return recorder.waitFor(
        [ms] {
          for (int t : recorder.timerCalls)
            if (t == ms) return true;
          return false;
        },
        waitMs);
  }
  bool sawReportAtDepth(int depth, int waitMs) {
    return recorder.waitFor(
        [depth] {
          for (auto &r : recorder.pvs)
            if (r.depth >= depth && !r.line.empty()) return true;
          return false;
        },
        waitMs);
  }
  // The last reported line must start with a legal move of the position.
  void expectLegalBestMove(const char *fen) {
    auto reports = recorder.reports();
    ASSERT_FALSE(reports.empty()) << "no move was reported";
    ASSERT_FALSE(reports.back().line.empty());
    EXPECT_TRUE(lineIsLegal(fen, {}, {reports.back().line[0]}));
  }

  EngineOps *ops = nullptr;
  SearchRun run;
};

TEST_F(ModuleTest, SettingsDefaultsAndInitialisation) {
  const EngineSettings &s = module().settingsAtInit;
  const int32_t expected[26] = {0,   0,   1,   0,   0,   -9999, 0,   4,   1,   0,   1,   1,   1,
                                100, 100, 100, 100, 100, 100,   100, 100, 100, 100, 100, 100, 60};
  const int32_t *words = &s.reserved0;
  for (int i = 0; i < 26; i++) EXPECT_EQ(words[i], expected[i]) << "word " << i;
  EXPECT_EQ(module().initZero, 0u);
  EXPECT_EQ(module().initHash, 1u << 20);
  EXPECT_EQ(module().fenBeforeInit, 0);
  EXPECT_EQ(module().playBeforeInit, 0);
  EXPECT_EQ(ops->reservedSlot8, (void *)&module());

  // setSettings copies the block and marks it as set.
  EngineSettings in = s;
  in.contempt = 17;
  in.maxDepth = 33;
  ops->setSettings(&in);
  EngineSettings out;
  ops->getSettings(&out);
  EXPECT_EQ(out.contempt, 17);
  EXPECT_EQ(out.maxDepth, 33);
  EXPECT_EQ(out.paramsSet, 1);
  in.maxDepth = 60;
  ops->setSettings(&in);
}

TEST_F(ModuleTest, PlayMoveChecksLegalityAndPromotionLetters) {
  ASSERT_EQ(ops->setFen(START), 0);
  EXPECT_NE(ops->playMove(mv("e2e5"), ' '), 0);  // not a legal move
  EXPECT_NE(ops->playMove(mv("e7e5"), ' '), 0);  // the other side's move
  EXPECT_EQ(ops->playMove(mv("e2e4"), ' '), 0);
  EXPECT_EQ(ops->playMove(mv("e7e5"), ' '), 0);
  EXPECT_NE(ops->playMove(mv("e4e5"), ' '), 0);  // blocked: the game is unchanged
  EXPECT_EQ(ops->playMove(mv("g1f3"), ' '), 0);

  // "N" makes e7e8 a knight promotion: the knight then goes e8-d6.
  const char *promo = "8/4P3/8/8/8/8/k7/7K w - -";
  ASSERT_EQ(ops->setFen(promo), 0);
  EXPECT_EQ(ops->playMove(mv("e7e8"), 'N'), 0);
  EXPECT_EQ(ops->playMove(mv("a2a3"), ' '), 0);
  EXPECT_EQ(ops->playMove(mv("e8d6"), ' '), 0);
  // Lower-case "n" and a blank leave the queen promotion.
  for (int letter : {'n', ' '}) {
    ASSERT_EQ(ops->setFen(promo), 0);
    EXPECT_EQ(ops->playMove(mv("e7e8"), letter), 0);
    EXPECT_EQ(ops->playMove(mv("a2a3"), ' '), 0);
    EXPECT_NE(ops->playMove(mv("e8d6"), ' '), 0) << "letter " << letter;
    EXPECT_EQ(ops->playMove(mv("e8e2"), ' '), 0);
  }
  // Black promotes on rank 1: "R" gives a rook (no diagonal move afterwards).
  const char *blackPromo = "7k/8/8/8/8/8/4p3/K7 b - -";
  ASSERT_EQ(ops->setFen(blackPromo), 0);
  EXPECT_EQ(ops->playMove(mv("e2e1"), 'R'), 0);
  EXPECT_EQ(ops->playMove(mv("a1b2"), ' '), 0);
  EXPECT_NE(ops->playMove(mv("e1d2"), ' '), 0);
  EXPECT_EQ(ops->playMove(mv("e1e8"), ' '), 0);
  // "B" on rank 1: only diagonal moves.
  ASSERT_EQ(ops->setFen(blackPromo), 0);
  EXPECT_EQ(ops->playMove(mv("e2e1"), 'B'), 0);
  EXPECT_EQ(ops->playMove(mv("a1a2"), ' '), 0);
  EXPECT_NE(ops->playMove(mv("e1e5"), ' '), 0);
  EXPECT_EQ(ops->playMove(mv("e1c3"), ' '), 0);
  // A rejected FEN keeps the previous game.
  EXPECT_NE(ops->setFen("8/8/8/8/8/8/8/K6k x - -"), 0);
  EXPECT_EQ(ops->playMove(mv("a2a3"), ' '), 0);  // white to move after e1c3
}

TEST_F(ModuleTest, FixedDepthSearchReportsLegalLines) {
  position(START, 0, 5);
  ops->runSearch(1, 0);
  auto reports = recorder.reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().depth, 5);
  for (auto &r : reports) EXPECT_LE(r.depth, 5);
  EXPECT_TRUE(lineIsLegal(START, {}, reports.back().line));
  EXPECT_GT(recorder.lastNodes, 0);
  EXPECT_EQ(recorder.overlapped.load(), 0);
  auto timers = recorder.timers();
  for (int t : timers) EXPECT_EQ(t, 0) << "a fixed-depth search arms no timer";
}

TEST_F(ModuleTest, TimerSequenceSoftExtensionThenStop) {
  // 60 s sudden death at move 21: soft and hard times from the allocation.
  position("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3", 2, 60);
  timeControl = TimeControl{2, 60, 0, 0, 0};
  gameRecord.moveNumber = 21;
  allocateTime(0);
  const int soft = softTimeMs, hard = hardTimeMs;
  run.start(ops, 1, 0);
  ASSERT_TRUE(sawTimer(soft));
  ASSERT_TRUE(sawReportAtDepth(4, 20000));
  ops->timerExpired();
  // Either the iteration was done (stop), or the one extension is armed.
  bool extended = sawTimer(-(hard - soft), 300);
  if (extended) {
    EXPECT_FALSE(run.done.load());
    ops->timerExpired();  // the second expiry ends the search
  }
  ASSERT_TRUE(run.waitDone(10000));
  run.join();
  auto timers = recorder.timers();
  ASSERT_FALSE(timers.empty());
  EXPECT_EQ(timers.front(), soft);
  EXPECT_EQ(timers.back(), 0) << "both timers are cancelled when the search returns";
  expectLegalBestMove("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
}

TEST_F(ModuleTest, PonderBlocksUntilStop) {
  EngineSettings s;
  ops->getSettings(&s);
  s.maxDepth = 4;  // the iterations end at once; runSearch must still wait
  ops->setSettings(&s);
  position(START, 6, 60000);
  run.start(ops, 1, 1);
  EXPECT_FALSE(run.waitDone(500));
  for (int t : recorder.timers()) EXPECT_EQ(t, 0) << "pondering arms no timer";
  ops->stopSearch();
  EXPECT_TRUE(run.waitDone(2000));
  run.join();
  s.maxDepth = 60;
  ops->setSettings(&s);
  expectLegalBestMove(START);
}

TEST_F(ModuleTest, PonderHitAfterStartArmsTimer) {
  position(START, 6, 60000);
  timeControl = TimeControl{6, 60000, 0, 0, 0};
  allocateTime(0);
  const int soft = softTimeMs;
  run.start(ops, 1, 1);
  ASSERT_TRUE(sawReportAtDepth(4, 20000));
  EXPECT_FALSE(sawTimer(soft, 50));
  ops->ponderHit();
  ASSERT_TRUE(sawTimer(soft, 2000)) << "ponderhit arms the search's timer";
  ops->timerExpired();
  if (!run.waitDone(500)) ops->timerExpired();
  ASSERT_TRUE(run.waitDone(10000));
  run.join();
  EXPECT_EQ(recorder.timers().back(), 0);
  expectLegalBestMove(START);
}

TEST_F(ModuleTest, PonderHitBeforeStartIsNotLost) {
  position(START, 6, 60000);
  timeControl = TimeControl{6, 60000, 0, 0, 0};
  allocateTime(0);
  const int soft = softTimeMs;
  ops->ponderHit();  // arrives before runSearch has set the pondering state
  run.start(ops, 1, 1);
  ASSERT_TRUE(sawTimer(soft, 5000)) << "the search runs as a timed search";
  ASSERT_TRUE(sawReportAtDepth(4, 20000));
  ops->timerExpired();
  if (!run.waitDone(500)) ops->timerExpired();
  bool ended = run.waitDone(10000);
  if (!ended) ops->stopSearch();  // do not leave a pondering search behind
  EXPECT_TRUE(ended);
  run.join();
}

TEST_F(ModuleTest, OneMillisecondReportsLegalMove) {
  const char *fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
  position(fen, 4, 1);
  run.start(ops, 1, 0);
  ASSERT_TRUE(sawTimer(1));
  ops->timerExpired();  // the 1 ms timer fires at once
  ASSERT_TRUE(run.waitDone(10000));
  run.join();
  expectLegalBestMove(fen);
}

TEST_F(ModuleTest, StopRightAfterGoStillReportsMove) {
  const char *fen = "4k3/8/8/8/8/8/4P3/4K2R w K -";
  position(fen, 6, 60000);
  ops->stopSearch();  // the stop comes before the search has begun
  ops->runSearch(1, 0);
  expectLegalBestMove(fen);
  EXPECT_EQ(recorder.timers().back(), 0);
}

TEST_F(ModuleTest, HashResizeKeepsTheGame) {
  ASSERT_EQ(ops->setFen(START), 0);
  ASSERT_EQ(ops->playMove(mv("e2e4"), ' '), 0);
  ops->freeHashTable();
  EXPECT_EQ(ops->initEngine(2u << 20, 0), 2u << 20);
  // Black is to move in the same game.
  EXPECT_EQ(ops->playMove(mv("e7e5"), ' '), 0);
  ops->setTimeControl(0, 3, 0, 0, 0);
  recorder.clear();
  ops->runSearch(1, 0);
  auto reports = recorder.reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_TRUE(lineIsLegal(START, {mv("e2e4"), mv("e7e5")}, reports.back().line));
}

}  // namespace
