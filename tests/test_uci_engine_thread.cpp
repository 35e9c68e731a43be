// The engine command thread: its mailbox, the internal commands, and the
// think line handed to the module (own side's clock, variations, book skip).
#include <atomic>
#include <gtest/gtest.h>
#include <string>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "engine/search/hash.h"
#include "platform/platform.h"
#include "uci/engine_thread.h"
#include "uci/options.h"
#include "uci/position.h"
#include "uci/state.h"

namespace {

struct TimeControlCall {
  int mode, a, b, c, d;
};
TimeControlCall lastControl;
std::atomic<int> searches{0};
int lastMultiPv = 0, lastPonder = -1;

void fakeSetTimeControl(int mode, int a, int b, int c, int d) { lastControl = {mode, a, b, c, d}; }
void fakeRunSearch(int lines, int ponder) {
  lastMultiPv = lines;
  lastPonder = ponder;
  searches++;
}

void setLocal(const char *fen) {
  ASSERT_EQ(parseFen(fen), 0);
  ASSERT_EQ(setupPosition(&rootPosition, &gameRecord), 0);
  currentGame.valid = true;
  updateRootHasMoves();
}

std::string think(const char *line) {
  testing::internal::CaptureStdout();
  sendToEngine("%s", line);
  waitForIdle();
  return testing::internal::GetCapturedStdout();
}

struct EngineThreadTest : ::testing::Test {
  static void SetUpTestSuite() {
    initEngineCore();
    setProcessorCount(2);
    setOptionDefaults();
    setOptionValue("OwnBook", "false");
    ASSERT_EQ(initMailbox(), 0);
    ASSERT_EQ(platformStartThread(engineThread, nullptr, 8u << 20), 0);
  }
  void SetUp() override {
    engineOps.setTimeControl = fakeSetTimeControl;
    engineOps.runSearch = fakeRunSearch;
    for (auto &m : bestMove) m = NO_MOVE;
    searches = 0;
  }
  void TearDown() override {
    engineOps.setTimeControl = nullptr;
    engineOps.runSearch = nullptr;
  }
};

}  // namespace

TEST_F(EngineThreadTest, ThinkUsesTheSideToMovesClock) {
  setLocal("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  std::string out = think("think 0 6 60000 30000 0 2000 80 0");
  EXPECT_EQ(lastControl.mode, 6);
  EXPECT_EQ(lastControl.a, 60000);
  EXPECT_EQ(lastControl.b, 0);
  EXPECT_EQ(lastControl.c, 2000);
  EXPECT_EQ(lastMultiPv, 1);
  EXPECT_EQ(lastPonder, 0);
  // The search reported nothing: the first legal move, never an empty one.
  ASSERT_EQ(out.rfind("bestmove ", 0), 0u) << out;
  EXPECT_NE(out, "bestmove 0000\n");
  setLocal("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  think("think 0 6 60000 30000 0 2000 80 0");
  EXPECT_EQ(lastControl.a, 30000);
  EXPECT_EQ(lastControl.c, 80);
}

TEST_F(EngineThreadTest, InfiniteSearchesAskForAtMostFiftyLines) {
  setLocal("R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1");  // 218 legal moves
  setOptionValue("MultiPV", "70");
  think("think 2 1 60 60 0 0 0 0");
  EXPECT_EQ(lastMultiPv, 50);
  EXPECT_EQ(lastPonder, 2);
  // No more lines than the root has legal moves.
  setLocal("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  think("think 2 1 60 60 0 0 0 0");
  EXPECT_EQ(lastMultiPv, 20);
  setLocal("k7/8/8/8/8/8/8/K6r w - - 0 1");
  think("think 2 1 60 60 0 0 0 0");
  EXPECT_EQ(lastMultiPv, 2);
  setOptionValue("MultiPV", "0");
  think("think 2 1 60 60 0 0 0 0");
  EXPECT_EQ(lastMultiPv, 1) << "a value below 1 is clamped";
  think("think 0 6 60 60 0 0 0 0");
  EXPECT_EQ(lastMultiPv, 1) << "MultiPV counts for infinite searches only";
  setOptionValue("MultiPV", "1");
}

TEST_F(EngineThreadTest, NothingToSearchAnswersNoMove) {
  setLocal("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3");
  EXPECT_EQ(think("think 0 6 60 60 0 0 0 0"), "bestmove 0000\n");
  EXPECT_EQ(searches, 0) << "the module is not asked to search a finished game";
}

TEST_F(EngineThreadTest, MailboxRejectsBadInternalCommandsAndStaysUsable) {
  EXPECT_EQ(think("bogus 1 2"), "info string Error (internal error): bogus 1 2\n");
  EXPECT_EQ(think("think 0 6"), "info string Error (internal error): think 0 6\n");
  EXPECT_EQ(think("waitforidle"), "");
  EXPECT_FALSE(thinkInProgress());
  // Many commands in a row: each waits for the one before.
  setLocal("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  testing::internal::CaptureStdout();
  for (int i = 0; i < 50; i++) sendToEngine("think 0 0 %d %d 0 0 0 0", i, i);
  waitForIdle();
  std::string out = testing::internal::GetCapturedStdout();
  int lines = 0;
  for (char c : out) lines += c == '\n';
  EXPECT_EQ(lines, 50);
  EXPECT_EQ(searches, 50);
  EXPECT_EQ(lastControl.a, 49);
}
