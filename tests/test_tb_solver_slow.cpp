// The test-side retrograde solver on four-man endgames (a few seconds each in
// the release build; labelled slow, so the sanitizer run leaves them out):
// published longest mates, sampled values against their moves' values, and a
// capture into a colour-reversed smaller table.
#include <gtest/gtest.h>

#include <cstdint>

#include "tests/tb_solver.h"
#include "tests/tb_solver_walk.h"

namespace {

using tbwalk::square;

constexpr int SAMPLES = 300000;

// Draws positions from a fixed pseudo-random sequence and checks each legal
// one against the values of its moves.
void expectSampledConsistent(const char *signature) {
  const SolverTable *t = solveTable(signature);
  ASSERT_NE(t, nullptr);
  int whiteMen = solverSideMen(t, true), men = whiteMen + solverSideMen(t, false);
  uint64_t state = 0x9E3779B97F4A7C15ULL;
  long checked = 0, bad = 0;
  for (int s = 0; s < SAMPLES; s++) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    int sq[SOLVER_MAX_MEN];
    for (int i = 0; i < men; i++) sq[i] = (int)((state >> (16 + tbwalk::SQUARE_BITS * i)) & tbwalk::SQUARE_MASK);
    bool wtm = (state >> 60) & 1;
    int children[SOLVER_MAX_CHILDREN];
    int n = solverChildValues(t, sq, sq + whiteMen, wtm, children);
    if (n < 0) continue;
    int v = solverValue(t, sq, sq + whiteMen, wtm), expected = tbwalk::valueFromMoves(children, n);
    bool ok = n == 0 ? (v == -1 || v == 0) : v == expected;
    if (!ok && bad++ < 5) ADD_FAILURE() << signature << " sample " << s << ": " << v << " vs " << expected;
    checked++;
  }
  EXPECT_EQ(bad, 0);
  EXPECT_GT(checked, SAMPLES / 4);
}

// One test per endgame, as each test runs in a process of its own and solving
// is the costly part.
TEST(TbSolverFourMen, TwoBishops) {
  const SolverTable *t = solveTable("kbbk");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(tbwalk::longestWin(t, true), 19);  // published longest mate
  expectSampledConsistent("kbbk");
  // bishops on squares of one colour cannot mate
  long wins = 0;
  for (int k = 0; k < 64; k++)
    for (int b1 = 0; b1 < 64; b1++)
      for (int b2 = 0; b2 < 64; b2++) {
        if (((b1 ^ (b1 >> 3)) & 1) != ((b2 ^ (b2 >> 3)) & 1)) continue;
        for (int bk = 0; bk < 64; bk++) {
          int w[3] = {k, b1, b2}, b[1] = {bk};
          int v = solverValue(t, w, b, true);
          if (v != SOLVER_ILLEGAL && v != 0) wins++;
        }
      }
  EXPECT_EQ(wins, 0);
}

TEST(TbSolverFourMen, BishopAndKnight) {
  EXPECT_EQ(tbwalk::longestWin(solveTable("kbnk"), true), 33);  // published longest mate
  expectSampledConsistent("kbnk");
}

TEST(TbSolverFourMen, QueenAgainstRook) {
  const SolverTable *qr = solveTable("kqkr"), *r = solveTable("krk");
  ASSERT_NE(qr, nullptr);
  EXPECT_EQ(tbwalk::longestWin(qr, true), 35);  // published longest mate
  expectSampledConsistent("kqkr");
  // Black to move: Rxd1+ leaves king and rook against the bare king
  int w[2] = {square("a1"), square("d1")}, b[2] = {square("h8"), square("d8")};
  int v = solverValue(qr, w, b, false);
  // after the capture, colours reversed: K h1 and R d8 against K a8, the lone king to move
  int rw[2] = {square("h1"), square("d8")}, rb[1] = {square("a8")};
  int after = solverValue(r, rw, rb, false);
  ASSERT_LT(after, 0);
  EXPECT_GT(v, 0);
  EXPECT_LE(v, -after);
}

}  // namespace
