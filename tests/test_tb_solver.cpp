// The test-side retrograde solver on three-man endgames: published longest
// mates, textbook positions, every value against its moves' values, colour-
// reversed tables against each other, and the stored-entry forms of values
// against the probe's decoding.
#include <gtest/gtest.h>

#include "tests/tb_solver.h"
#include "tests/tb_solver_walk.h"

namespace {

using tbwalk::square;

// One position: White's and Black's men by square name, signature order.
struct Placed {
  const char *white[SOLVER_MAX_MEN];
  const char *black[SOLVER_MAX_MEN];
};

int valueOf(const char *signature, const Placed &p, bool whiteToMove) {
  const SolverTable *t = solveTable(signature);
  int w[SOLVER_MAX_MEN] = {}, b[SOLVER_MAX_MEN] = {};
  for (int i = 0; i < solverSideMen(t, true); i++) w[i] = square(p.white[i]);
  for (int i = 0; i < solverSideMen(t, false); i++) b[i] = square(p.black[i]);
  return solverValue(t, w, b, whiteToMove);
}

// Every legal position's value is the one its moves' values imply; every
// position without a legal move is a mate (-1) or a stalemate (0).
void expectConsistent(const char *signature) {
  const SolverTable *t = solveTable(signature);
  ASSERT_NE(t, nullptr);
  long checked = 0, bad = 0;
  tbwalk::forEachPosition(t, [&](const int *w, const int *b, bool wtm) {
    int children[SOLVER_MAX_CHILDREN];
    int n = solverChildValues(t, w, b, wtm, children);
    if (n < 0) return;
    int v = solverValue(t, w, b, wtm), expected = tbwalk::valueFromMoves(children, n);
    bool ok = n == 0 ? (v == -1 || v == 0) : v == expected;
    if (!ok && bad++ < 5)
      ADD_FAILURE() << signature << " w " << w[0] << "," << w[1] << " b " << b[0]
                    << " wtm " << wtm << ": " << v << " vs " << expected;
    checked++;
  });
  EXPECT_EQ(bad, 0);
  EXPECT_GT(checked, 100000);
}

TEST(TbSolver, PublishedLongestMatesOfThreeMen) {
  EXPECT_EQ(tbwalk::longestWin(solveTable("kqk"), true), 10);
  EXPECT_EQ(tbwalk::longestWin(solveTable("krk"), true), 16);
  // the lone king never wins
  EXPECT_EQ(tbwalk::longestWin(solveTable("kqk"), false), 0);
  EXPECT_EQ(tbwalk::longestWin(solveTable("kpk"), false), 0);
}

TEST(TbSolver, MatesStalematesAndCaptures) {
  // checkmate: Black to move cannot escape the protected queen
  EXPECT_EQ(valueOf("kqk", {{"b6", "b7"}, {"a8"}}, false), -1);
  // stalemate: the queen covers a7, b7 and b8
  EXPECT_EQ(valueOf("kqk", {{"e1", "c7"}, {"a8"}}, false), 0);
  // mate in one: Qc8 and Rh8
  EXPECT_EQ(valueOf("kqk", {{"b6", "c1"}, {"a8"}}, true), 1);
  EXPECT_EQ(valueOf("krk", {{"b6", "h1"}, {"a8"}}, true), 1);
  // the same position with Black to move: Kb8 is forced and Rh8 mates
  EXPECT_EQ(valueOf("krk", {{"b6", "h1"}, {"a8"}}, false), -2);
  // Black takes the unprotected rook: a bare-kings draw
  EXPECT_EQ(valueOf("krk", {{"e5", "b7"}, {"a8"}}, false), 0);
}

TEST(TbSolver, IllegalPositionsAreFlagged) {
  EXPECT_EQ(valueOf("kqk", {{"b6", "b7"}, {"a7"}}, false), SOLVER_ILLEGAL);  // kings touch
  EXPECT_EQ(valueOf("kqk", {{"b6", "b7"}, {"a8"}}, true), SOLVER_ILLEGAL);   // Black in check, White to move
  EXPECT_EQ(valueOf("kqk", {{"b6", "b6"}, {"a8"}}, true), SOLVER_ILLEGAL);   // two men on one square
  EXPECT_EQ(valueOf("kpk", {{"e1", "a1"}, {"h8"}}, true), SOLVER_ILLEGAL);   // pawn on the first rank
  EXPECT_EQ(valueOf("kpk", {{"e1", "a8"}, {"h5"}}, true), SOLVER_ILLEGAL);   // pawn on the last rank
  const SolverTable *t = solveTable("kqk");
  int w[2] = {64, 0}, b[1] = {10};
  EXPECT_EQ(solverValue(t, w, b, true), SOLVER_ILLEGAL);  // square out of range
}

TEST(TbSolver, KingAndPawnTextbookPositions) {
  // the defending king in the rook pawn's corner holds the draw
  EXPECT_EQ(valueOf("kpk", {{"b5", "a5"}, {"a8"}}, true), 0);
  EXPECT_EQ(valueOf("kpk", {{"b5", "a5"}, {"a8"}}, false), 0);
  // the king on a key square two ranks ahead of its pawn wins whoever moves
  EXPECT_GT(valueOf("kpk", {{"e6", "e4"}, {"e8"}}, true), 0);
  EXPECT_LT(valueOf("kpk", {{"e6", "e4"}, {"e8"}}, false), 0);
  // opposition: with White to move e7 wins; Black to move holds with Kd8
  EXPECT_GT(valueOf("kpk", {{"d6", "e6"}, {"e8"}}, true), 0);
  EXPECT_EQ(valueOf("kpk", {{"d6", "e6"}, {"e8"}}, false), 0);
  // promotion: White mates at least as fast as through e8=Q and the queen's ending
  int promoting = valueOf("kpk", {{"d6", "e7"}, {"a1"}}, true);
  int afterQueen = valueOf("kqk", {{"d6", "e8"}, {"a1"}}, false);
  EXPECT_LT(afterQueen, 0);
  EXPECT_GT(promoting, 0);
  EXPECT_LE(promoting, -afterQueen);
}

TEST(TbSolver, EveryValueAgreesWithItsMoves) {
  expectConsistent("kqk");
  expectConsistent("krk");
  expectConsistent("kpk");
  expectConsistent("kbk");
  expectConsistent("knk");
}

// A table solved with Black holding the men must equal the White table read
// mirrored top to bottom with colours and the side to move exchanged.
void expectColourReversedAgrees(const char *whiteSig, const char *blackSig) {
  const SolverTable *w = solveTable(whiteSig), *b = solveTable(blackSig);
  ASSERT_NE(w, nullptr);
  ASSERT_NE(b, nullptr);
  long compared = 0, bad = 0;
  tbwalk::forEachPosition(w, [&](const int *ws, const int *bs, bool wtm) {
    int v = solverValue(w, ws, bs, wtm);
    int mirroredWhite[1] = {bs[0] ^ tbwalk::MIRROR_RANKS};
    int mirroredBlack[2] = {ws[0] ^ tbwalk::MIRROR_RANKS, ws[1] ^ tbwalk::MIRROR_RANKS};
    int m = solverValue(b, mirroredWhite, mirroredBlack, !wtm);
    if (v != m && bad++ < 5) ADD_FAILURE() << whiteSig << " " << v << " vs " << blackSig << " " << m;
    if (v != SOLVER_ILLEGAL) compared++;
  });
  EXPECT_EQ(bad, 0);
  EXPECT_GT(compared, 100000);
}

TEST(TbSolver, ColourReversedTablesAgree) {
  expectColourReversedAgrees("kpk", "kkp");
  expectColourReversedAgrees("krk", "kkr");
}

TEST(TbSolver, BareKingsAndMinorPiecesOnlyDraw) {
  for (const char *sig : {"kk", "kbk", "knk"}) {
    const SolverTable *t = solveTable(sig);
    ASSERT_NE(t, nullptr) << sig;
    long nonzero = 0;
    tbwalk::forEachPosition(t, [&](const int *w, const int *b, bool wtm) {
      int v = solverValue(t, w, b, wtm);
      if (v != SOLVER_ILLEGAL && v != 0) nonzero++;
    });
    EXPECT_EQ(nonzero, 0) << sig;
  }
}

TEST(TbSolver, SignaturesOutsideTheRangeAreRefused) {
  EXPECT_EQ(solveTable(""), nullptr);
  EXPECT_EQ(solveTable("qkk"), nullptr);     // White's king first
  EXPECT_EQ(solveTable("kqk?"), nullptr);    // unknown letter
  EXPECT_EQ(solveTable("kqrkr"), nullptr);   // five men
  EXPECT_EQ(solveTable("kpkp"), nullptr);    // pawns on both sides (en passant)
  EXPECT_EQ(solveTable("kqq"), nullptr);     // one king
  EXPECT_EQ(solveTable("kqk"), solveTable("kqk"));  // solved once
}

// The probe's reading of a stored 8-bit entry c (its score on the value scale).
int scoreOfByte(int c) {
  if (c == 0) return 0;
  if (c >= 1 && c <= 126) return 127 - c;
  if (c == -128) return 127;
  if (c >= -126 && c <= -1) return -128 - c;
  return -128;  // c == -127
}

// The probe's reading of a stored 16-bit entry w.
int scoreOfWord(int w) { return w > 0 ? 32767 - w : w < 0 ? -w - 32768 : 0; }

TEST(TbSolver, StoredEntriesReadBackAsTheValue) {
  for (int v = -128; v <= 127; v++) {
    if (v == -1) continue;
    int c = solverEntryByte(v);
    ASSERT_GE(c, -128);
    ASSERT_LE(c, 126) << v;  // 127 is unknown
    EXPECT_EQ(scoreOfByte(c), v);
  }
  EXPECT_EQ(solverEntryByte(-1), SOLVER_BYTE_UNKNOWN);  // a checkmated side cannot be stored
  EXPECT_EQ(solverEntryByte(10), 117);
  EXPECT_EQ(solverEntryByte(-2), -126);
  for (int v = -300; v <= 300; v++) {
    int w = solverEntryWord(v);
    ASSERT_NE(w, SOLVER_WORD_UNKNOWN) << v;
    EXPECT_EQ(scoreOfWord(w), v);
  }
  EXPECT_EQ(solverEntryWord(-1), -32767);
}

}  // namespace
