// Static exchange values on constructed positions (hand-counted), the
// frontier and capture searches at their edges, and the single-pawn draw
// patterns for both colours.
#include <gtest/gtest.h>

#include "engine/eval/pawn_endings.h"
#include "engine/eval/settings.h"
#include "engine/search/quiesce.h"
#include "engine/search/search.h"
#include "tests/search_harness.h"

using namespace harness;

namespace {

int plainValue(int kind) {
  switch (kind) {
    case PAWN: return 100;
    case KNIGHT: return 300;
    case BISHOP: return 300;
    case ROOK: return 500;
    case QUEEN: return 900;
    default: return 10000;
  }
}

// A position with plain piece values and empty square tables, the last move
// landing on `lastTo`, score 0 and tempo 0: exchanges can be counted by hand.
void setPlainPosition(const char *fen, const char *lastTo) {
  ASSERT_TRUE(setFen(fen)) << fen;
  Board *b = rootPosition.pg;
  std::memset(&b->prepared, 0, sizeof b->prepared);
  for (PieceListHead *h : {&b->white, &b->black})
    for (PieceRecord *p = h->node.next; p != &b->sentinel; p = p->next) p->value = plainValue(p->desc.kind);
  b->tempo = 0;
  rootPosition.score = 0;
  int to = (lastTo[0] - 'a') + (lastTo[1] - '1') * 16;
  rootPosition.lastMove = makeMoveWord(NO_SQUARE, to);
}

// givesCheck for a move of the root position, given in coordinates.
bool checks(const char *move) {
  Move m = mv(move);
  int from = moveFrom(m), to = realTo(m);
  return givesCheck(&rootPosition, pieceOn(rootPosition.pg, from), from, to);
}

struct QuiesceTest : testing::Test {
  void SetUp() override {
    initOnce();
    savedTempo = gameBoard.tempo;
  }
  void TearDown() override { gameBoard.tempo = savedTempo; }
  int savedTempo = 0;
};

TEST_F(QuiesceTest, PawnTakesKnightDefendedByPawn) {
  setPlainPosition("4k3/8/4p3/3n4/4P3/8/8/4K3 w - -", "d5");
  Move m = NO_MOVE;
  EXPECT_EQ(quiesce(&rootPosition, 9999, -9999, &m), 200);  // +300 - 100
  EXPECT_EQ(m, mv("e4d5"));
}

TEST_F(QuiesceTest, QueenDoesNotTakeADefendedKnight) {
  setPlainPosition("4k3/8/4p3/3n4/8/8/8/3QK3 w - -", "d5");
  Move m = NO_MOVE;
  EXPECT_EQ(quiesce(&rootPosition, 9999, -9999, &m), 0);  // stand pat beats +300 - 900
  EXPECT_EQ(m, NO_MOVE);
}

TEST_F(QuiesceTest, DoubledRooksWinTheDefendedRook) {
  setPlainPosition("3rk3/8/8/3r4/8/8/3R4/3RK3 w - -", "d5");
  Move m = NO_MOVE;
  EXPECT_EQ(quiesce(&rootPosition, 9999, -9999, &m), 500);  // RxR RxR RxR
  EXPECT_EQ(m, mv("d2d5"));

  // a single rook only trades
  setPlainPosition("3rk3/8/8/3r4/8/8/3R4/4K3 w - -", "d5");
  m = NO_MOVE;
  EXPECT_EQ(quiesce(&rootPosition, 9999, -9999, &m), 0);
}

TEST_F(QuiesceTest, RearRookJoinsOnlyAfterTheFrontPiece) {
  // Qd2 in front of Rd1: the queen must capture first (+500 - 900 + 500).
  setPlainPosition("3rk3/8/8/3r4/8/8/3Q4/3RK3 w - -", "d5");
  Move m = NO_MOVE;
  EXPECT_EQ(quiesce(&rootPosition, 9999, -9999, &m), 100);
  EXPECT_EQ(m, mv("d2d5"));
}

TEST_F(QuiesceTest, RearPieceBehindAnEnemyDefenderJoinsAfterIt) {
  // exd5 Rxd5 would leave +200; the white rook behind the black one answers
  // that recapture, so Black keeps still: +300.
  setPlainPosition("3Rk3/8/3r4/3n4/4P3/8/8/4K3 w - -", "d5");
  Move m = NO_MOVE;
  EXPECT_EQ(quiesce(&rootPosition, 9999, -9999, &m), 300);
  EXPECT_EQ(m, mv("e4d5"));

  // without it Black recaptures
  setPlainPosition("4k3/8/3r4/3n4/4P3/8/8/4K3 w - -", "d5");
  EXPECT_EQ(quiesce(&rootPosition, 9999, -9999, nullptr), 200);

  // a bishop behind the capturing pawn joins after it and wins the rook back
  setPlainPosition("4k3/8/3r4/3n4/4P3/5B2/8/4K3 w - -", "d5");
  m = NO_MOVE;
  EXPECT_EQ(quiesce(&rootPosition, 9999, -9999, &m), 300);
  EXPECT_EQ(m, mv("e4d5"));
}

TEST_F(QuiesceTest, PieceBehindAManThatCannotTakeStaysOut) {
  // cxd5 exd5: the rook on d1 stands behind a bishop on the file and never joins
  setPlainPosition("4k3/8/4p3/3n4/2P5/3B4/8/3RK3 w - -", "d5");
  EXPECT_EQ(quiesce(&rootPosition, 9999, -9999, nullptr), 200);
  // nor does a third man on a line: RxQ RxR RxR NxR, and Rd1 stays out (+900 - 500)
  setPlainPosition("3rk3/8/5n2/3q4/8/3R4/3R4/3RK3 w - -", "d5");
  EXPECT_EQ(quiesce(&rootPosition, 9999, -9999, nullptr), 400);
}

TEST_F(QuiesceTest, BlackCapturesToo) {
  setPlainPosition("4k3/8/8/3p4/2N5/8/8/4K3 b - -", "c4");
  Move m = NO_MOVE;
  EXPECT_EQ(quiesce(&rootPosition, 9999, -9999, &m), 300);
  EXPECT_EQ(m, mv("d5c4"));
}

TEST_F(QuiesceTest, DeltaMarginOfThirteen) {
  setPlainPosition("4k3/8/8/3q4/4P3/8/8/4K3 w - -", "d5");
  Board *b = rootPosition.pg;
  b->prepared.square[tableIndexOfCode(WHITE_PAWN)][0x43] = 20;  // the pawn gains 20 on d5
  Move m = NO_MOVE;
  // tempo + alpha - score - queen = 13: the exchange is counted
  EXPECT_EQ(quiesce(&rootPosition, 9999, 913, &m), 920);
  EXPECT_EQ(m, mv("e4d5"));
  // 14: alpha at once
  m = NO_MOVE;
  EXPECT_EQ(quiesce(&rootPosition, 9999, 914, &m), 914);
  EXPECT_EQ(m, NO_MOVE);
}

TEST_F(QuiesceTest, NoLastMoveSquareMeansStandPat) {
  // After a null move or at a fresh root the last move is NO_MOVE (to-byte 12).
  setPlainPosition("4k3/8/4p3/3n4/4P3/8/8/4K3 w - -", "d5");
  rootPosition.lastMove = NO_MOVE;
  rootPosition.score = 37;
  Move m = NO_MOVE;
  EXPECT_EQ(quiesce(&rootPosition, 9999, -9999, &m), 37);
  EXPECT_EQ(m, NO_MOVE);
}

TEST_F(QuiesceTest, FrontierNullWindowShortcut) {
  ASSERT_TRUE(setFen(nullptr));
  prepareRoot();
  alignas(4) Move killers[2] = {NO_MOVE, NO_MOVE};
  Move pv[PV_LENGTH] = {NO_MOVE};
  Position *root = &rootPosition;
  root->nodeFlags &= ~8;
  int beta = 50;
  root->score = beta + 8;
  int64_t before = root->pg->nodeCount;
  EXPECT_EQ(searchFrontier(root, 1, beta, beta - 1, killers, pv), beta);
  EXPECT_EQ(root->pg->nodeCount, before) << "no move may be made";

  resetPicker(root);
  root->score = beta + 7;
  before = root->pg->nodeCount;
  searchFrontier(root, 1, beta, beta - 1, killers, pv);
  EXPECT_GT(root->pg->nodeCount, before);
}

TEST_F(QuiesceTest, FrontierMateAndStalemateQuiesceStandsPat) {
  alignas(4) Move killers[2] = {NO_MOVE, NO_MOVE};
  Move pv[PV_LENGTH] = {NO_MOVE};
  ASSERT_TRUE(setFen("7k/6Q1/6K1/8/8/8/8/8 b - -"));
  prepareRoot();
  int standPat = rootPosition.score;
  EXPECT_EQ(searchFrontier(&rootPosition, 1, 9999, -9999, killers, pv), -9998);
  resetPicker(&rootPosition);
  EXPECT_EQ(searchFrontier(&rootPosition, 0, 9999, -9999, killers, pv), -9998);
  resetPicker(&rootPosition);
  EXPECT_EQ(quiesceChecks(&rootPosition, 9999, -9999, killers, pv), standPat);

  ASSERT_TRUE(setFen("7k/5Q2/6K1/8/8/8/8/8 b - -"));
  prepareRoot();
  standPat = rootPosition.score;
  EXPECT_EQ(searchFrontier(&rootPosition, 1, 9999, -9999, killers, pv), 0);
  resetPicker(&rootPosition);
  EXPECT_EQ(quiesceChecks(&rootPosition, 9999, -9999, killers, pv), standPat);
}

TEST_F(QuiesceTest, CaptureSearchWinsAHangingPiece) {
  // a free rook for the side to move: the capture search finds it and names it
  ASSERT_TRUE(setFen("4k3/8/8/3r4/8/8/8/3QK3 w - -"));
  prepareRoot();
  alignas(4) Move killers[2] = {NO_MOVE, NO_MOVE};
  Move pv[PV_LENGTH] = {NO_MOVE};
  int s = rootPosition.score;
  int r = quiesceChecks(&rootPosition, 9999, -9999, killers, pv);
  EXPECT_GT(r, s + 200);
  EXPECT_EQ(pv[0], mv("d1d5"));
}

// ---- single-pawn draws ----
int drawBits(const char *fen, int reserved2 = 1) {
  EXPECT_TRUE(setFen(fen)) << fen;
  activeSettings.reserved2 = reserved2;
  rootPosition.statusFlags &= ~0x60;
  kingPawnTerm(&rootPosition);
  activeSettings.reserved2 = initialSettings.reserved2;
  return rootPosition.statusFlags & 0x60;
}

TEST_F(QuiesceTest, KingInFrontOfThePawn) {
  EXPECT_EQ(drawBits("8/8/8/3k4/3P4/2K5/8/8 b - -"), 0x20);
  EXPECT_EQ(drawBits("8/8/8/3k4/3P4/2K5/8/8 w - -"), 0x20);
  EXPECT_EQ(drawBits("8/8/3k4/8/3P4/2K5/8/8 w - -"), 0x20);  // two squares ahead, no black pawn
  EXPECT_EQ(drawBits("8/7p/3k4/8/3P4/2K5/8/8 w - -") & 0x20, 0);  // black has a pawn
  EXPECT_EQ(drawBits("8/8/8/4k3/3P4/2K5/8/8 w - -"), 0);        // diagonal, not in front
  EXPECT_EQ(drawBits("3k4/8/8/8/3P4/2K5/8/8 w - -"), 0);        // far away on rank 8
  // black: the mirror image
  EXPECT_EQ(drawBits("8/8/2k5/3p4/3K4/8/8/8 w - -"), 0x40);
  EXPECT_EQ(drawBits("8/8/2k5/3p4/8/3K4/8/8 w - -"), 0x40);
  EXPECT_EQ(drawBits("8/8/2k5/3p4/8/8/8/4K3 w - -"), 0);
}

TEST_F(QuiesceTest, RookPawnWithTheKingInTheCorner) {
  EXPECT_EQ(drawBits("8/1k6/8/P7/K7/8/8/8 b - -"), 0x20);
  EXPECT_EQ(drawBits("8/8/2k5/P7/K7/8/8/8 b - -"), 0);        // c-file, king not beyond the pawn
  EXPECT_EQ(drawBits("8/8/2k5/PK6/8/8/8/8 b - -"), 0);        // king not on the a-file
  EXPECT_EQ(drawBits("8/8/2k5/K7/P7/8/8/8 b - -"), 0x20);     // c-file, own king beyond the pawn
  EXPECT_EQ(drawBits("7k/8/8/7P/8/8/8/6K1 b - -"), 0x20);     // h-pawn
  EXPECT_EQ(drawBits("8/8/8/8/p7/k7/8/1K6 w - -"), 0x40);      // black a-pawn, white king on b1
  EXPECT_EQ(drawBits("8/8/8/8/p7/k7/8/3K4 w - -"), 0);        // white king on the d-file
}

TEST_F(QuiesceTest, RookPawnWithTheWrongBishop) {
  EXPECT_EQ(drawBits("7k/8/8/8/7P/8/4B3/4K3 b - -"), 0x20);    // light bishop, h8 is dark
  EXPECT_EQ(drawBits("7k/8/8/8/7P/8/4B3/4K3 b - -", 0), 0);    // settings word 2 off
  EXPECT_EQ(drawBits("7k/8/8/8/7P/8/3B4/4K3 b - -"), 0);       // dark bishop controls h8
  EXPECT_EQ(drawBits("4k3/4b3/8/7p/8/8/8/7K w - -"), 0x40);    // black h-pawn, dark bishop, h1 light
  EXPECT_EQ(drawBits("4k3/3b4/8/7p/8/8/8/7K w - -"), 0);       // light bishop controls h1
}

TEST_F(QuiesceTest, AnAttackedPawnStopsTheDraw) {
  EXPECT_EQ(drawBits("8/1k6/1p6/P7/K7/8/8/8 b - -"), 0);
}

TEST_F(QuiesceTest, NoDrawMarkInAPositionThatIsNotLegal) {
  // the side that has just moved (white) left its king attacked by the rook
  EXPECT_EQ(drawBits("8/8/8/3k4/3P4/r1K5/8/8 b - -") & 0x20, 0);
}

TEST_F(QuiesceTest, GivesCheckByEachKindOfMover) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/R1N1KB2 w - -"));
  EXPECT_FALSE(checks("c1d3"));          // not a knight square of e8
  EXPECT_TRUE(checks("a1a8"));           // the rook along the last rank
  EXPECT_FALSE(checks("a1a7"));
  EXPECT_TRUE(checks("f1b5"));           // the bishop on the free diagonal
  EXPECT_FALSE(checks("f1c4"));
  ASSERT_TRUE(setFen("4k3/8/8/3N4/8/8/8/4K3 w - -"));
  EXPECT_TRUE(checks("d5f6"));
  EXPECT_TRUE(checks("d5c7"));
  EXPECT_FALSE(checks("d5e7"));
}

TEST_F(QuiesceTest, GivesCheckThroughTheLinesAndByPawns) {
  // a rook behind its own bishop gives no check; only the mover counts, so the
  // bishop uncovering the rook does not either
  ASSERT_TRUE(setFen("4k3/8/8/8/4B3/8/8/4RK2 w - -"));
  EXPECT_FALSE(checks("e1e3"));
  EXPECT_FALSE(checks("e4d5"));
  // the square the mover leaves no longer blocks: the rook backs down its file
  ASSERT_TRUE(setFen("4k3/8/8/4R3/8/8/8/5K2 w - -"));
  EXPECT_TRUE(checks("e5e2"));
  // pawns: a diagonal step next to the king, the seventh rank with the square
  // ahead free, and the last rank tested as a queen
  ASSERT_TRUE(setFen("4k3/8/3P4/8/8/8/1P6/4K3 w - -"));
  EXPECT_TRUE(checks("d6d7"));
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/1P6/4K3 w - -"));
  EXPECT_FALSE(checks("b2b4"));
  ASSERT_TRUE(setFen("4k3/8/1P6/8/8/8/8/4K3 w - -"));
  EXPECT_TRUE(checks("b6b7"));
  ASSERT_TRUE(setFen("1n2k3/8/1P6/8/8/8/8/4K3 w - -"));
  EXPECT_FALSE(checks("b6b7"));
  ASSERT_TRUE(setFen("1r2k3/P7/8/8/8/8/8/4K3 w - -"));
  EXPECT_TRUE(checks("a7b8"));  // a queen on b8 sees e8 along the rank
  ASSERT_TRUE(setFen("4k3/2P5/8/8/8/8/8/4K3 w - -"));
  EXPECT_TRUE(checks("c7c8"));
  // Black to move: a pawn step next to the white king
  ASSERT_TRUE(setFen("4k3/8/8/8/3p4/8/8/4K3 b - -"));
  EXPECT_FALSE(checks("d4d3"));
  ASSERT_TRUE(setFen("4k3/8/8/8/8/3p4/8/4K3 b - -"));
  EXPECT_TRUE(checks("d3d2"));
}

}  // namespace
