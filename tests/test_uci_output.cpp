// Output lines: move texts, score conversion, error and check lines, the info
// lines built from the engine's reports, and the bestmove line.
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "engine/search/hash.h"
#include "uci/output.h"
#include "uci/state.h"

namespace {

Move mv(int from, int to) { return makeMoveWord(from, to); }
constexpr int E2 = 0x14, E4 = 0x34, E7 = 0x64, E5 = 0x44, E8 = 0x74, B7 = 0x61, B8 = 0x71, A2 = 0x10, A1 = 0x00;

std::string text(Move m, char letter) {
  char out[6];
  moveToText(out, m, letter);
  return out;
}

void setLocal(const char *fen) {
  static bool core = false;
  if (!core) {
    initEngineCore();
    core = true;
  }
  ASSERT_EQ(parseFen(fen), 0) << fen;
  ASSERT_EQ(setupPosition(&rootPosition, &gameRecord), 0) << fen;
}

std::string capture(void (*fn)()) {
  testing::internal::CaptureStdout();
  fn();
  return testing::internal::GetCapturedStdout();
}

struct ReportTest : ::testing::Test {
  void SetUp() override {
    setLocal("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    multiPv = 1;
    engineSettings.contempt = 0;
    tbhits = 0;
    stopRequested = false;
    resetReports();
    setNodeCount(0);
  }
};

std::string pvLine(int index, int depth, int score, int timeMs, int hashfull, const Move *pv) {
  testing::internal::CaptureStdout();
  printPv(index, depth, score, timeMs, hashfull, pv, 0);
  return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(MoveText, CoordinatesAndPromotions) {
  EXPECT_EQ(text(mv(E2, E4), 'P'), "e2e4");
  EXPECT_EQ(text(mv(0x06, 0x25), 'N'), "g1f3");
  // Queen promotion: the plain move onto the last rank by a pawn.
  EXPECT_EQ(text(mv(B7, B8), 'P'), "b7b8q");
  EXPECT_EQ(text(mv(A2, A1), 'p'), "a2a1q");
  // The same squares by another piece carry no letter.
  EXPECT_EQ(text(mv(B7, B8), 'R'), "b7b8");
  // Under-promotions beyond the last rank: rook 0x81, bishop 0x91, knight 0xA1 for White.
  EXPECT_EQ(text(mv(B7, 0x81), 'P'), "b7b8r");
  EXPECT_EQ(text(mv(B7, 0x91), 'P'), "b7b8b");
  EXPECT_EQ(text(mv(B7, 0xA1), 'P'), "b7b8n");
  // Black: rook 0xF0, bishop 0xE0, knight 0xD0 for a1.
  EXPECT_EQ(text(mv(A2, 0xF0), 'p'), "a2a1r");
  EXPECT_EQ(text(mv(A2, 0xE0), 'p'), "a2a1b");
  EXPECT_EQ(text(mv(A2, 0xD0), 'p'), "a2a1n");
  EXPECT_EQ(text(NO_MOVE, 'P'), "0000") << "never an empty move such as e1e1";
}

TEST(Scores, ContemptAndMateBands) {
  EXPECT_EQ(displayScore(35, 20), 15);
  EXPECT_EQ(displayScore(0, 20), 0);
  EXPECT_EQ(displayScore(9996, 20), 9996);
  EXPECT_EQ(displayScore(-8999, 1), -9000);
  EXPECT_EQ(displayScore(-9000, 1), -9000);
  char out[32];
  scoreText(out, sizeof out, 9997);
  EXPECT_STREQ(out, "mate 1");
  scoreText(out, sizeof out, 9995);
  EXPECT_STREQ(out, "mate 2");
  scoreText(out, sizeof out, 9996);
  EXPECT_STREQ(out, "mate 1");
  scoreText(out, sizeof out, -9997);
  EXPECT_STREQ(out, "mate -1");
  scoreText(out, sizeof out, -9995);
  EXPECT_STREQ(out, "mate -2");
  scoreText(out, sizeof out, 8999);
  EXPECT_STREQ(out, "cp 8999");
  scoreText(out, sizeof out, -8999);
  EXPECT_STREQ(out, "cp -8999");
}

TEST(ErrorLines, Formats) {
  std::string out = capture([] { reportError("Unknown command", "xyz"); });
  EXPECT_EQ(out, "info string Error (Unknown command): xyz\n");
  out = capture([] { reportError("Cannot find engine module", ""); });
  EXPECT_EQ(out, "info string Error (Cannot find engine module): \n");
  EXPECT_EXIT(reportAssert("ucitodll", 1810), ::testing::ExitedWithCode(1),
              "");
}

TEST(ErrorLines, AssertLineIsFollowedByAnEmptyLine) {
  testing::internal::CaptureStdout();
  pid_t pid = fork();
  if (pid == 0) reportAssert("ucitodll", 1854);
  int status = 0;
  waitpid(pid, &status, 0);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "info string Assert Failed: ucitodll+1854\n\n");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
}

TEST_F(ReportTest, InfoLineFormat) {
  Move pv[3] = {mv(E2, E4), mv(E7, E5), NO_MOVE};
  setNodeCount(123456);
  tbhits = 7;
  EXPECT_EQ(pvLine(0, 9, 35, 2000, 1234, pv),
            "info score cp 35 depth 9 nodes 123456 nps 61728 tbhits 7 time 2000 hashfull 1000 pv  e2e4 e7e5\n");
  EXPECT_EQ(bestMove[0], mv(E2, E4));
  EXPECT_EQ(bestMove[1], mv(E7, E5));
  EXPECT_EQ(bestMove[2], NO_MOVE);
  // timeMs 0: nps 0; contempt taken off.
  engineSettings.contempt = 20;
  EXPECT_EQ(pvLine(0, 1, 35, 0, 5, pv),
            "info score cp 15 depth 1 nodes 123456 nps 0 tbhits 7 time 0 hashfull 5 pv  e2e4 e7e5\n");
  EXPECT_EQ(pvLine(0, 1, 9996, 0, 5, pv),
            "info score mate 1 depth 1 nodes 123456 nps 0 tbhits 7 time 0 hashfull 5 pv  e2e4 e7e5\n");
}

TEST_F(ReportTest, LongVariationIsCutAt19Moves) {
  // Knights back and forth: 25 legal moves.
  Move pv[26];
  const Move cycle[4] = {mv(0x06, 0x25), mv(0x76, 0x55), mv(0x25, 0x06), mv(0x55, 0x76)};
  for (int i = 0; i < 25; i++) pv[i] = cycle[i % 4];
  pv[25] = NO_MOVE;
  std::string out = pvLine(0, 30, 0, 10, 0, pv);
  std::string moves = out.substr(out.find(" pv ") + 4);
  int count = 0;
  for (char c : moves) count += c == ' ';
  EXPECT_EQ(count, 19) << out;
}

TEST_F(ReportTest, IllegalTailOfAVariationIsDropped) {
  Move pv[4] = {mv(E2, E4), mv(E2, E4), mv(E7, E5), NO_MOVE};
  std::string out = pvLine(0, 3, 10, 10, 0, pv);
  EXPECT_NE(out.find("pv  e2e4\n"), std::string::npos) << out;
  EXPECT_EQ(bestMove[1], NO_MOVE);
}

TEST_F(ReportTest, MultiPvBlockComesWithTheLastLine) {
  multiPv = 3;
  Move a[2] = {mv(E2, E4), NO_MOVE}, b[2] = {mv(0x13, 0x33), NO_MOVE}, c[2] = {mv(0x06, 0x25), NO_MOVE};
  setNodeCount(1000);
  EXPECT_EQ(pvLine(0, 5, 30, 100, 0, a), "");
  EXPECT_EQ(pvLine(1, 5, 9995, 100, 0, b), "");
  EXPECT_EQ(pvLine(2, 5, -10, 100, 0, c),
            "info depth 5 nodes 1000 nps 10000 tbhits 0 time 100 hashfull 0\n"
            "info score cp 30 multipv 1 pv  e2e4\n"
            "info score mate 2 multipv 2 pv  d2d4\n"
            "info score cp -10 multipv 3 pv  g1f3\n");
}

TEST_F(ReportTest, MultiPvBestMoveIsTheFirstLines) {
  multiPv = 2;
  Move a[3] = {mv(E2, E4), mv(E7, E5), NO_MOVE}, b[2] = {mv(0x13, 0x33), NO_MOVE};
  pvLine(0, 5, 30, 100, 0, a);
  pvLine(1, 5, 20, 100, 0, b);
  EXPECT_EQ(bestMove[0], mv(E2, E4));
  EXPECT_EQ(bestMove[1], mv(E7, E5));
}

TEST_F(ReportTest, StoppedIterationPrintsItsReportedLines) {
  multiPv = 3;
  Move a[2] = {mv(E2, E4), NO_MOVE}, b[2] = {mv(0x13, 0x33), NO_MOVE}, c[2] = {mv(0x06, 0x25), NO_MOVE};
  setNodeCount(500);
  pvLine(0, 5, 30, 100, 0, a);
  pvLine(1, 5, 20, 100, 0, b);
  pvLine(2, 5, 10, 100, 0, c);  // a whole block: nothing is left to print
  EXPECT_EQ(capture(printUnfinishedLines), "");
  // The next iteration is stopped after its first line: that line is printed,
  // and it names the bestmove.
  pvLine(0, 6, 25, 200, 0, c);
  EXPECT_EQ(capture(printUnfinishedLines),
            "info depth 6 nodes 500 nps 2500 tbhits 0 time 200 hashfull 0\n"
            "info score cp 25 multipv 1 pv  g1f3\n");
  EXPECT_EQ(bestMove[0], mv(0x06, 0x25));
  EXPECT_EQ(capture(printUnfinishedLines), "");
  multiPv = 1;
  pvLine(0, 7, 25, 200, 0, a);
  EXPECT_EQ(capture(printUnfinishedLines), "");
}

TEST_F(ReportTest, CurrentMoveLines) {
  setNodeCount(42);
  testing::internal::CaptureStdout();
  printCurrentMove(3, NO_MOVE, 0, 0);
  printCurrentMove(3, mv(E2, E4), 'P' << 8, 0);
  printCurrentMove(3, mv(0x13, 0x33), 'P' << 8, 0);
  printCurrentMove(3, mv(0x13, 0x33), ('P' << 8) | 0x80, 0);  // re-search: not counted
  printCurrentMove(3, mv(E2, E4), 'P' << 8, 0);                // seen: a new pass
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "info depth 3 nodes 42\n"
            "info currmove e2e4 currmovenumber 1\n"
            "info currmove d2d4 currmovenumber 2\n"
            "info currmove d2d4 currmovenumber 2\n"
            "info currmove e2e4 currmovenumber 1\n");
}

TEST_F(ReportTest, BestMoveLines) {
  std::string out = capture([] { printBestMove(mv(E2, E4), mv(E7, E5)); });
  EXPECT_EQ(out, "bestmove e2e4 ponder e7e5\n");
  out = capture([] { printBestMove(mv(E2, E4), NO_MOVE); });
  EXPECT_EQ(out, "bestmove e2e4\n");
  // A ponder move that is not legal after the best move is left out.
  out = capture([] { printBestMove(mv(E2, E4), mv(E2, E4)); });
  EXPECT_EQ(out, "bestmove e2e4\n");
  // No reported move: the first legal move.
  out = capture([] { printBestMove(NO_MOVE, NO_MOVE); });
  ASSERT_EQ(out.rfind("bestmove ", 0), 0u);
  EXPECT_EQ(out.size(), std::string("bestmove e2e4\n").size()) << out;
  EXPECT_NE(out, "bestmove e1e1\n");
}

TEST_F(ReportTest, BestMoveWithoutLegalMoves) {
  setLocal("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3");  // fool's mate
  EXPECT_EQ(capture([] { printBestMove(NO_MOVE, NO_MOVE); }), "bestmove 0000\n");
  setLocal("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");  // stalemate
  EXPECT_EQ(capture([] { printBestMove(NO_MOVE, NO_MOVE); }), "bestmove 0000\n");
}

TEST_F(ReportTest, PromotionsAreLowerCase) {
  setLocal("8/4P3/8/8/8/8/k7/7K w - - 0 1");
  EXPECT_EQ(capture([] { printBestMove(makeMoveWord(E7, E8), NO_MOVE); }), "bestmove e7e8q\n");
  EXPECT_EQ(capture([] { printBestMove(makeMoveWord(E7, 0xA4), NO_MOVE); }), "bestmove e7e8n\n");
}
