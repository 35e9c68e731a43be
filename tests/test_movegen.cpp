// Move generation, ordering, the staged picker and the board queries.
#include <algorithm>
#include <set>

#include "engine/board/moves/attacks.h"
#include "engine/board/moves/legal_moves.h"
#include "engine/board/moves/legality.h"
#include "engine/search/ordering/history.h"
#include "engine/search/ordering/picker.h"
#include "tests/move_helpers.h"

using namespace movetest;

namespace {

perft::Stack stack;

class MoveGen : public ::testing::Test {
 protected:
  void SetUp() override {
    perft::setUp(&stack, "4k3/8/8/8/8/8/8/4K3 w - -");
    clearTables(&gameBoard);
  }
  void TearDown() override { clearTables(&gameBoard); }
  Position *at(const char *fen) { return position(&stack, fen); }
};

using V = std::vector<std::string>;

// ---- generators ----

TEST_F(MoveGen, PromotionsInBothStages) {
  Position *p = at("3r3k/4P3/8/8/8/8/8/K7 w - -");
  V tactical = captures(p);
  tactical.erase(std::remove_if(tactical.begin(), tactical.end(), [](const std::string &m) { return m[0] != 'e'; }),
                 tactical.end());
  EXPECT_EQ(tactical, (V{"e7e8", "e7d8"}));
  EXPECT_EQ(quietOf(p, square("e7")), (V{"e7e8r", "e7e8b", "e7e8n", "e7d8r", "e7d8b", "e7d8n"}));

  Position *q = at("k7/8/8/8/8/8/4p3/3R3K b - -");
  V blackTactical = captures(q);
  EXPECT_TRUE(has(blackTactical, "e2e1") && has(blackTactical, "e2d1"));
  EXPECT_EQ(quietOf(q, square("e2")), (V{"e2e1r", "e2e1b", "e2e1n", "e2d1r", "e2d1b", "e2d1n"}));
}

TEST_F(MoveGen, BlockedPromotionStillCapturesUnderPromoting) {
  Position *p = at("3rn2k/4P3/8/8/8/8/8/K7 w - -");
  EXPECT_EQ(quietOf(p, square("e7")), (V{"e7d8r", "e7d8b", "e7d8n"}));
  V tactical = captures(p);
  EXPECT_FALSE(has(tactical, "e7e8"));
  EXPECT_TRUE(has(tactical, "e7d8"));
}

TEST_F(MoveGen, PawnOnSixthPushesOnlyTactically) {
  Position *p = at("4k3/8/4P3/8/8/8/3P4/4K3 w - -");
  EXPECT_TRUE(quietOf(p, square("e6")).empty());
  EXPECT_TRUE(has(captures(p), "e6e7"));
  EXPECT_EQ(quietOf(p, square("d2")), (V{"d2d3", "d2d4"}));
  Position *b = at("4k3/3p4/8/8/8/4p3/8/4K3 b - -");
  EXPECT_TRUE(quietOf(b, square("e3")).empty());
  EXPECT_TRUE(has(captures(b), "e3e2"));
  EXPECT_EQ(quietOf(b, square("d7")), (V{"d7d6", "d7d5"}));
}

TEST_F(MoveGen, DoublePushNeedsBothSquaresEmpty) {
  Position *p = at("4k3/8/8/8/8/3n4/3P4/4K3 w - -");
  EXPECT_TRUE(quietOf(p, square("d2")).empty());
  p = at("4k3/8/8/8/3n4/8/3P4/4K3 w - -");
  EXPECT_EQ(quietOf(p, square("d2")), (V{"d2d3"}));
}

TEST_F(MoveGen, CastlingConditions) {
  EXPECT_TRUE(has(quietOf(at("4k3/8/8/8/8/8/8/4K2R w K -"), square("e1")), "e1g1"));
  // f1 attacked: not generated
  EXPECT_FALSE(has(quietOf(at("4kr2/8/8/8/8/8/8/4K2R w K -"), square("e1")), "e1g1"));
  // king in check: neither side
  V inCheck = quietOf(at("4r1k1/8/8/8/8/8/8/R3K2R w KQ -"), square("e1"));
  EXPECT_FALSE(has(inCheck, "e1g1") || has(inCheck, "e1c1"));
  // only g1 attacked: generated, and the king is left attacked after the move
  Position *p = at("4k1r1/8/8/8/8/8/8/4K2R w K -");
  EXPECT_TRUE(has(quietOf(p, square("e1")), "e1g1"));
  makeMove(p, word("e1g1"), p + 1);
  EXPECT_TRUE(kingAttacked(p + 1, 1));
  EXPECT_EQ(p->pg->at(square("f1"))->desc.code, WHITE_ROOK);
  unmakeMove(p + 1);
  // queen side: b1 attacked does not matter, d1 does
  EXPECT_TRUE(has(quietOf(at("1r2k3/8/8/8/8/8/8/R3K3 w Q -"), square("e1")), "e1c1"));
  EXPECT_FALSE(has(quietOf(at("3rk3/8/8/8/8/8/8/R3K3 w Q -"), square("e1")), "e1c1"));
  // a piece in the way, no rook on the corner, no right
  EXPECT_FALSE(has(quietOf(at("4k3/8/8/8/8/8/8/RN2K3 w Q -"), square("e1")), "e1c1"));
  EXPECT_FALSE(has(quietOf(at("4k3/8/8/8/8/8/8/4K1NR w K -"), square("e1")), "e1g1"));
  Position *noRook = at("4k3/8/8/8/8/8/8/4K2R w K -");
  gameBoard.squares()[0x07]->desc.code = WHITE_BISHOP;  // not a rook any more
  EXPECT_FALSE(has(quietOf(noRook, square("e1")), "e1g1"));
  gameBoard.squares()[0x07]->desc.code = WHITE_ROOK;
  EXPECT_FALSE(has(quietOf(at("4k3/8/8/8/8/8/8/4K2R w - -"), square("e1")), "e1g1"));
  // black, both sides
  V black = quietOf(at("r3k2r/8/8/8/8/8/8/4K3 b kq -"), square("e8"));
  EXPECT_TRUE(has(black, "e8g8") && has(black, "e8c8"));
}

TEST_F(MoveGen, BothEnPassantCapturesComeInTheKingsTurn) {
  Position *p = at("4k3/8/8/3PpP2/8/8/8/4K3 w - e6");
  EXPECT_EQ(captures(p), (V{"f5e6", "d5e6"}));
  EXPECT_EQ(perftCount(p, 1), 9u);
  Position *b = at("4k3/8/8/8/2pPp3/8/8/4K3 b - d3");
  EXPECT_EQ(captures(b), (V{"c4d3", "e4d3"}));
}

TEST_F(MoveGen, EnPassantNeedsThePawnThatDoubleStepped) {
  // a record that carries the e.p. flag without the enemy pawn behind the square
  Position *p = at("4k3/8/8/8/8/8/5P2/4K3 w - -");
  p->nodeFlags |= 4;
  p->epSquare = square("e3");
  EXPECT_FALSE(has(captures(p), "f2e3"));
  EXPECT_FALSE(isPseudoLegal(p, word("f2e3")));
}

TEST_F(MoveGen, CapturesOfOnePieceAscendBySquare) {
  Position *p = at("4k3/8/8/2p1p3/2pQp3/2p1p3/8/4K3 w - -");
  V c = captures(p);
  EXPECT_EQ(c, (V{"d4c3", "d4e3", "d4c4", "d4e4", "d4c5", "d4e5"}));
}

TEST_F(MoveGen, PawnCapturesComeInFileOrderOfEachSide) {
  // White: the capture towards the a-file first; Black: towards the h-file first
  Position *w = at("4k3/8/8/2n1n3/3P4/8/8/4K3 w - -");
  EXPECT_EQ(captures(w), (V{"d4c5", "d4e5"}));
  Position *b = at("4k3/8/8/3p4/2N1N3/8/8/4K3 b - -");
  EXPECT_EQ(captures(b), (V{"d5e4", "d5c4"}));
  // a push to the seventh rank comes before both captures
  Position *s = at("4k3/2n1n3/3P4/8/8/8/8/4K3 w - -");
  EXPECT_EQ(captures(s), (V{"d6d7", "d6c7", "d6e7"}));
}

TEST_F(MoveGen, EdgePawnsCaptureOnlyOntoTheNextFile) {
  // men on the far edge of the pawn's own rank or of the next one are not attacked
  Position *w = at("4k3/8/8/1n5n/P6n/8/8/4K3 w - -");
  EXPECT_EQ(captures(w), (V{"a4b5"}));
  Position *b = at("4k3/8/8/N6p/6N1/N7/8/4K3 b - -");
  EXPECT_EQ(captures(b), (V{"h5g4"}));
}

// ---- ordering ----

TEST_F(MoveGen, CaptureOrderByVictimRecaptureAndThreat) {
  Position *p = at("4k3/8/8/2r1n3/3P4/8/8/4K3 w - -");
  gameBoard.at(square("c5"))->value = 500;
  gameBoard.at(square("e5"))->value = 300;
  p->lastMove = NO_MOVE;
  p->pendingThreat = NO_MOVE;
  captures(p);
  orderCaptures(p);
  EXPECT_EQ(popOrder(p), (V{"d4c5", "d4e5"}));
  // a recapture on the square the last move went to: +500
  p->lastMove = makeMoveWord(square("e7"), square("e5"));
  captures(p);
  orderCaptures(p);
  EXPECT_EQ(popOrder(p), (V{"d4e5", "d4c5"}));
  // the pending threat's square: +1000, ahead of the recapture
  p->pendingThreat = makeMoveWord(square("d4"), square("c5"));
  captures(p);
  orderCaptures(p);
  EXPECT_EQ(popOrder(p), (V{"d4c5", "d4e5"}));
}

TEST_F(MoveGen, CaptureOrderKeepsGenerationOrderAmongEqualKeys) {
  Position *p = at("4k3/8/8/2n1n3/3P4/8/8/4K3 w - -");
  p->lastMove = NO_MOVE;
  p->pendingThreat = NO_MOVE;
  captures(p);
  orderCaptures(p);
  EXPECT_EQ(popOrder(p), (V{"d4c5", "d4e5"}));
  // the mover's kind breaks the tie in favour of the cheaper attacker
  Position *q = at("4k3/8/8/4n3/3P4/5N2/8/4K3 w - -");
  q->lastMove = NO_MOVE;
  q->pendingThreat = NO_MOVE;
  captures(q);
  orderCaptures(q);
  EXPECT_EQ(popOrder(q), (V{"d4e5", "f3e5"}));
}

TEST_F(MoveGen, PromotionCaptureGainsItsTableDifference) {
  Position *p = at("4k1n1/5P2/8/8/8/8/8/4K3 w - -");  // f7f8 (empty) and f7g8 (knight)
  p->lastMove = NO_MOVE;
  p->pendingThreat = NO_MOVE;
  gameBoard.at(square("g8"))->value = 300;
  int16_t *table = gameBoard.prepared.square[tableIndexOfCode(WHITE_PAWN)];
  table[square("f7")] = 10;
  table[square("f8")] = 900;  // the promotion square's value
  table[square("g8")] = 100;
  captures(p);
  orderCaptures(p);
  V order = popOrder(p);
  ASSERT_GE(order.size(), 2u);
  EXPECT_EQ(order[0], "f7f8");  // 0 - 7 + 890 beats 300 - 7 + 90
  EXPECT_EQ(order[1], "f7g8");
}

TEST_F(MoveGen, HistoryOrder) {
  // king d1: generated c1, e1, c2, d2, e2
  Position *p = at("7k/8/8/8/8/8/8/3K4 w - -");
  int16_t *table = gameBoard.prepared.square[tableIndexOfCode(WHITE_KING)];
  table[square("c1")] = -4;  // key -2
  table[square("e1")] = -1;  // key 0: the halving truncates toward zero
  historyTable.counts[WHITE_KING][square("c2")] = 5;
  table[square("e2")] = -12;  // key -6
  p->moveCursor = p->moveList;
  genQuietMoves(p);
  // highest first; equal keys in generation order; negative keys last, last generated first
  EXPECT_EQ(popOrder(p), (V{"d1c2", "d1e1", "d1d2", "d1e2", "d1c1"}));
}

TEST_F(MoveGen, HistoryOrderSkipsTheThreatenedPiece) {
  Position *p = at("7k/8/8/8/8/8/8/R2K4 w - -");
  p->nodeFlags |= 8;
  p->threatTarget = gameBoard.at(square("a1"));
  p->moveCursor = p->moveList;
  genQuietMoves(p);
  for (const std::string &m : popOrder(p)) EXPECT_EQ(m[0], 'd') << m;
}

// ---- picker ----

std::vector<std::string> pickAll(Position *p, PickerMemory *seen) {
  std::vector<std::string> v;
  for (Move m; (m = pickMove(p, seen)) != NO_MOVE;) v.push_back(text(m));
  return v;
}

TEST_F(MoveGen, PickerStagesAndCandidates) {
  Position *p = at("4k3/8/8/2r5/3P4/8/8/R3K3 w Q -");
  p->lastMove = NO_MOVE;
  p->pendingThreat = NO_MOVE;
  resetPicker(p);
  PickerMemory seen;
  clearPickerMemory(&seen);
  pushMove(p, word("a1a7"));  // candidates: the last pushed comes first
  pushMove(p, word("d4c5"));
  V all = pickAll(p, &seen);
  ASSERT_GE(all.size(), 3u);
  EXPECT_EQ(all[0], "d4c5");
  EXPECT_EQ(all[1], "a1a7");
  EXPECT_EQ(std::count(all.begin(), all.end(), "d4c5"), 1);
  EXPECT_EQ(std::count(all.begin(), all.end(), "a1a7"), 1);
  EXPECT_EQ(p->pickerStage, 4);
  // every pseudo-legal move exactly once
  Position *q = p + 2;
  memcpy(q, p, sizeof(Position));
  int n = generateAll(q);
  std::multiset<std::string> generated, picked(all.begin(), all.end());
  for (int i = 0; i < n; i++) generated.insert(text(q->moveList[i]));
  EXPECT_EQ(generated, picked);
  EXPECT_EQ(pickMove(p, &seen), NO_MOVE);
}

TEST_F(MoveGen, PickerSkipsOnlyTheRememberedMoveAmongThoseSharingItsFilterBit) {
  Position *p = at("4k3/8/8/8/8/8/8/R3K3 w - -");
  p->lastMove = NO_MOVE;
  p->pendingThreat = NO_MOVE;
  resetPicker(p);
  // a3 and a7 fold onto the same filter bit: the filter alone cannot tell them apart
  ASSERT_EQ(pickerFilterBit(word("a1a3")), pickerFilterBit(word("a1a7")));
  PickerMemory seen;
  clearPickerMemory(&seen);
  pushMove(p, word("a1a7"));
  V all = pickAll(p, &seen);
  EXPECT_EQ(all[0], "a1a7");
  EXPECT_EQ(std::count(all.begin(), all.end(), "a1a7"), 1);
  EXPECT_EQ(std::count(all.begin(), all.end(), "a1a3"), 1);
  // a cleared memory forgets the candidate
  resetPicker(p);
  clearPickerMemory(&seen);
  EXPECT_EQ(seen.filter, 0u);
  V again = pickAll(p, &seen);
  EXPECT_EQ(std::count(again.begin(), again.end(), "a1a7"), 1);
  EXPECT_EQ(again.size(), all.size());  // the candidate came once either way
}

TEST_F(MoveGen, PickerCapturesOnlyNode) {
  Position *p = at("4k3/8/8/2r5/3P4/8/8/R3K3 w Q -");
  p->lastMove = NO_MOVE;
  p->pendingThreat = NO_MOVE;
  resetPicker(p);
  p->nodeFlags |= 0x40;
  EXPECT_EQ(pickAll(p, nullptr), (V{"d4c5"}));
  EXPECT_EQ(p->pickerStage, 4);
}

TEST_F(MoveGen, PickerThreatenedPieceMovesFirstAfterCaptures) {
  Position *p = at("4k3/8/8/8/8/8/P7/R3K2N w - -");
  p->lastMove = NO_MOVE;
  p->pendingThreat = NO_MOVE;
  resetPicker(p);
  p->nodeFlags |= 8;
  p->threatTarget = gameBoard.at(square("h1"));
  V all = pickAll(p, nullptr);
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(all[0].substr(0, 2), "h1");
  EXPECT_EQ(all[1].substr(0, 2), "h1");
  EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const std::string &m) { return m.substr(0, 2) == "h1"; }), 2);
  // the lazy quiet stage goes in list order: pawn (its last push on top), rook, king
  EXPECT_EQ(all[2], "a2a4");
  EXPECT_EQ(all[3], "a2a3");
  EXPECT_EQ(all[4].substr(0, 2), "a1");
}

TEST_F(MoveGen, PickerSortedQuietStageSetsQuietStart) {
  Position *p = at("4k3/8/8/8/8/8/8/R3K3 w - -");
  p->lastMove = NO_MOVE;
  p->pendingThreat = NO_MOVE;
  resetPicker(p);
  p->nodeFlags |= 0x800;
  Move first = pickMove(p);
  EXPECT_NE(first, NO_MOVE);
  EXPECT_EQ(p->pickerStage, 4);
  EXPECT_EQ(p->quietStart, p->moveCursor + 1);
}

// ---- queries ----

TEST_F(MoveGen, FindAttacker) {
  Position *p = at("4k3/8/3N4/8/8/8/8/4K3 w - -");
  const PieceRecord *knight = gameBoard.at(square("d6"));
  EXPECT_EQ(findAttacker(square("d6"), knight, p->allBits, 11), square("e8"));
  // a knight attacking only a defended knight of its class: none
  p = at("4k3/8/4p3/3n4/8/2N5/8/4K3 w - -");
  knight = gameBoard.at(square("c3"));
  EXPECT_EQ(findAttacker(square("c3"), knight, p->allBits, 6), NO_SQUARE);
  EXPECT_EQ(findAttacker(square("c3"), knight, p->allBits, 8), NO_SQUARE);  // minors counted, but defended
  // undefended: only a limit below its class lets the walk reach it
  p = at("4k3/8/8/3n4/8/2N5/8/4K3 w - -");
  knight = gameBoard.at(square("c3"));
  EXPECT_EQ(findAttacker(square("c3"), knight, p->allBits, 6), NO_SQUARE);
  EXPECT_EQ(findAttacker(square("c3"), knight, p->allBits, 8), square("d5"));
  // a higher class is a target even when defended
  p = at("4k3/8/2p5/1r6/8/2N5/8/4K3 w - -");
  knight = gameBoard.at(square("c3"));
  EXPECT_EQ(findAttacker(square("c3"), knight, p->allBits, 6), square("b5"));
  // the square is the one the piece would stand on: a bishop from f1 tested on d2
  p = at("4k3/8/8/8/1q6/8/8/4KB2 w - -");
  const PieceRecord *bishop = gameBoard.at(square("f1"));
  EXPECT_EQ(findAttacker(square("d2"), bishop, p->allBits, 6), square("b4"));
  EXPECT_EQ(findAttacker(square("e2"), bishop, p->allBits, 6), NO_SQUARE);
  p = at("4k3/8/8/8/1q6/2n5/8/4KB2 w - -");  // blocked on c3
  bishop = gameBoard.at(square("f1"));
  EXPECT_EQ(findAttacker(square("d2"), bishop, p->allBits, 6), NO_SQUARE);
}

TEST_F(MoveGen, FindAttackerPawns) {
  // two targets: the lower code (more valuable) wins
  Position *p = at("4k3/8/8/2n1r3/3P4/8/8/4K3 w - -");
  const PieceRecord *pawn = gameBoard.at(square("d4"));
  EXPECT_EQ(findAttacker(square("d4"), pawn, p->allBits, 6), square("e5"));
  // limit 11: the king only
  EXPECT_EQ(findAttacker(square("d4"), pawn, p->allBits, 11), NO_SQUARE);
  p = at("8/8/8/4k3/3P4/8/8/4K3 w - -");
  EXPECT_EQ(findAttacker(square("d4"), gameBoard.at(square("d4")), p->allBits, 11), square("e5"));
  // a pawn on its 7th rank answers its free push square, which is not a check
  p = at("k7/4P3/8/8/8/8/8/4K3 w - -");
  int sq = findAttacker(square("e7"), gameBoard.at(square("e7")), p->allBits, 11);
  EXPECT_EQ(sq, square("e8"));
  EXPECT_NE(sq, gameBoard.pieces[0].square);
  // black mirror
  p = at("4k3/8/8/8/3p4/2N1Q3/8/4K3 b - -");
  EXPECT_EQ(findAttacker(square("d4"), gameBoard.at(square("d4")), p->allBits, 6), square("e3"));
  // a pawn given its last rank is tested as a queen
  p = at("3k4/4P3/8/8/8/8/8/4K3 w - -");
  EXPECT_EQ(findAttacker(square("e8"), gameBoard.at(square("e7")), p->allBits, 11), square("d8"));
  // off-board square
  EXPECT_EQ(findAttacker(NO_SQUARE, gameBoard.at(square("e7")), p->allBits, 11), NO_SQUARE);
}

TEST_F(MoveGen, SquaresBetween) {
  auto bb = [](std::initializer_list<const char *> l) {
    uint64_t b = 0;
    for (const char *s : l) b |= squareBit[sq88To64[square(s)]];
    return b;
  };
  EXPECT_EQ(squaresBetween(square("a1"), square("h8")), bb({"b2", "c3", "d4", "e5", "f6", "g7"}));
  EXPECT_EQ(squaresBetween(square("h8"), square("a1")), bb({"b2", "c3", "d4", "e5", "f6", "g7"}));
  EXPECT_EQ(squaresBetween(square("a1"), square("a4")), bb({"a2", "a3"}));
  EXPECT_EQ(squaresBetween(square("h3"), square("c8")), bb({"g4", "f5", "e6", "d7"}));
  EXPECT_EQ(squaresBetween(square("d4"), square("e4")), 0u);
}

TEST_F(MoveGen, KingAttacked) {
  Position *p = at("4k3/8/8/8/8/8/3p4/4K3 w - -");
  EXPECT_TRUE(kingAttacked(p, 1));
  EXPECT_FALSE(kingAttacked(p, -1));
  p = at("4k3/8/8/8/8/8/4p3/4K3 w - -");
  EXPECT_FALSE(kingAttacked(p, 1));
  p = at("4k3/8/8/8/8/8/8/r3K3 w - -");
  EXPECT_TRUE(kingAttacked(p, 1));
  p = at("4k3/8/8/8/8/8/8/rN2K3 w - -");
  EXPECT_FALSE(kingAttacked(p, 1));
  p = at("4k3/8/8/8/7b/8/8/4K3 w - -");
  EXPECT_TRUE(kingAttacked(p, 1));
  p = at("4k3/8/8/8/8/5n2/8/4K3 w - -");
  EXPECT_TRUE(kingAttacked(p, 1));
  p = at("8/8/8/8/8/8/3k4/4K3 w - -");
  EXPECT_TRUE(kingAttacked(p, 1));
  EXPECT_TRUE(kingAttacked(p, -1));
}

// ---- pseudo-legality of stored moves ----

std::set<Move> generatedSet(Position *p) {
  int n = generateAll(p);
  return std::set<Move>(p->moveList, p->moveList + n);
}

// Every one of the 65536 move words is accepted exactly when the generators make it.
void checkAllWords(Position *p) {
  std::set<Move> gen = generatedSet(p);
  for (int w = 0; w < 65536; w++) {
    Move m = (Move)w;
    bool expect = gen.count(m) != 0;
    ASSERT_EQ(isPseudoLegal(p, m), expect) << text(m) << " word " << w;
  }
}

TEST_F(MoveGen, PseudoLegalityMatchesGenerationExactly) {
  const char *fens[] = {
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
      "4k3/8/8/3PpP2/8/8/8/4K3 w - e6",
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -",
      "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -",
  };
  for (const char *fen : fens) {
    Position *p = at(fen);
    checkAllWords(p);
    // and in every child position
    int n = generateAll(p);
    std::vector<Move> moves(p->moveList, p->moveList + n);
    for (Move m : moves) {
      if (!makeLegal(p, m, p + 1)) continue;
      checkAllWords(p + 1);
      unmakeMove(p + 1);
      if (HasFatalFailure()) return;
    }
  }
}

TEST_F(MoveGen, OffBoardAndMalformedWordsAreRejected) {
  Position *p = at("4k3/1P6/8/8/8/8/8/4K3 w - -");
  EXPECT_FALSE(isPseudoLegal(p, NO_MOVE));
  EXPECT_FALSE(isPseudoLegal(p, makeMoveWord(square("e1"), 0x0C)));
  EXPECT_FALSE(isPseudoLegal(p, makeMoveWord(0x0C, square("e2"))));
  EXPECT_FALSE(isPseudoLegal(p, makeMoveWord(square("b7"), 0xB1)));  // no such promotion band
  EXPECT_FALSE(isPseudoLegal(p, makeMoveWord(square("b7"), 0xD1)));  // a black band for a white pawn
  EXPECT_TRUE(isPseudoLegal(p, word("b7b8n")));
  EXPECT_FALSE(isPseudoLegal(p, word("e1g1")));  // no castling right
  EXPECT_FALSE(isPseudoLegal(p, makeMoveWord(square("e1"), 0x88 | 0x05)));
}

// ---- seeding helpers ----

TEST_F(MoveGen, SeedValidation) {
  Position *p = at("4k3/8/8/3pP3/8/8/8/R3K2R w KQ d6");
  EXPECT_FALSE(isValidSeed(p, NO_MOVE));
  EXPECT_FALSE(isValidSeed(p, makeMoveWord(square("a1"), 0x08)));  // a non-square
  EXPECT_FALSE(isValidSeed(p, word("e1g1")));                      // castling
  EXPECT_FALSE(isValidSeed(p, word("e5d6")));                      // e.p.
  EXPECT_TRUE(isValidSeed(p, word("e5e6")));
  EXPECT_TRUE(isValidSeed(p, word("a1a8")));
  EXPECT_FALSE(isValidSeed(p, word("a1h1")));  // own piece on the target
  Position *q = at("4k3/1P6/8/8/8/8/8/4K3 w - -");
  EXPECT_FALSE(isValidSeed(q, word("b7b8r")));  // under-promotions are never seeded
  EXPECT_TRUE(isValidSeed(q, word("b7b8")));
}

TEST_F(MoveGen, RecaptureSeedingOnlyForBoardSquares) {
  Position *p = at("4k3/8/8/3p4/2P1P3/8/8/4K3 w - -");
  resetPicker(p);
  seedRecaptures(p, realTo(NO_MOVE));  // after a null move the last move goes nowhere
  EXPECT_EQ(p->moveCursor, p->moveList);
  seedRecaptures(p, square("d5"));
  // list order c4 then e4: the second attacker is pushed first, so the first comes off the top first
  EXPECT_EQ(popOrder(p), (V{"c4d5", "e4d5"}));
}

}  // namespace
