// Make and unmake move: exact restore over perft trees, incremental key and
// score against values built from scratch, and the edge cases of make-move.
#include <memory>

#include "engine/board/keys.h"
#include "engine/board/moves/attacks.h"
#include "engine/board/moves/legal_moves.h"
#include "engine/eval/prepare.h"
#include "platform/platform.h"
#include "tests/move_helpers.h"

using namespace movetest;

namespace {

perft::Stack stack;

// ---- prepared tables filled with random values ----

// Value of a piece where it stands, as make-move keeps it: square table plus
// currentValue; rooks use the White rook kind's value and the open-file bonus.
int formulaValue(Board *b, const PieceRecord *r) {
  int v = r->kind->squareTable[r->square];
  if (r->desc.kind == ROOK) {
    v += b->kinds[WHITE_ROOK].currentValue;
    int f = fileOf(r->square);
    if (b->white.pawnFiles()[f] == 0 && b->black.pawnFiles()[f] == 0) v += b->prepared.data.openFileRookBonus;
  } else {
    v += r->kind->currentValue;
  }
  return v;
}

// Fills the tables. With `withTerms` the file pressures, pawn terms and the
// open-file bonus are set too (their effect is not a from-scratch sum).
void fillTables(Board *b, uint32_t seed, bool withTerms) {
  Rand15 r{seed};
  for (int t = 0; t < 12; t++)
    for (int sq = 0; sq < 120; sq++) b->prepared.square[t][sq] = onBoard(sq) ? (int16_t)(r.next() % 61 - 30) : 0;
  static const int base[13] = {0, 900, 500, 330, 320, 100, 0, 100, 320, 330, 500, 900, 0};
  for (int c = 0; c < 13; c++) b->kinds[c].currentValue = base[c] + (c == 2 || c == 10 ? 0 : r.next() % 9);
  if (withTerms) {
    b->prepared.data.openFileRookBonus = 9;
    for (int s = 0; s < 2; s++)
      for (int f = 0; f < 8; f++) {
        b->prepared.data.isolatedPressure[s][f] = (int16_t)(r.next() % 21);
        b->prepared.data.doubledIsolatedPressure[s][f] = (int16_t)(r.next() % 31);
      }
    for (PieceListHead *h : {&b->white, &b->black})
      for (int i = 0; i < 128; i++) h->pawnTerms[i] = (int16_t)(r.next() % 11 - 5);
  }
  for (PieceListHead *h : {&b->white, &b->black})
    for (PieceRecord *p = h->node.next; p != &b->sentinel; p = p->next) p->value = formulaValue(b, p);
}

// Score of the side to move from scratch: own piece values minus the enemy's.
int scratchScore(Position *pos) {
  Board *b = pos->pg;
  int s = 0;
  for (PieceListHead *h : {&b->white, &b->black})
    for (PieceRecord *p = h->node.next; p != &b->sentinel; p = p->next)
      s += (p->colour == pos->side ? 1 : -1) * formulaValue(b, p);
  return s;
}

// ---- consistency of a position with its board ----

void expectConsistent(Position *pos) {
  Board *b = pos->pg;
  uint64_t own = 0, enemy = 0, ownPawns = 0, enemyPawns = 0;
  int counts[13] = {0}, men = 0, material = 0, files[2][8] = {{0}};
  for (PieceListHead *h : {&b->white, &b->black}) {
    for (PieceRecord *p = h->node.next; p != &b->sentinel; p = p->next) {
      ASSERT_TRUE(onBoard(p->square));
      ASSERT_EQ(b->at(p->square), p);
      ASSERT_EQ(p->kind->code, p->desc.code);
      if (p->next != &b->sentinel) {
        ASSERT_EQ(p->next->prev, p);
      }
      uint64_t bit = squareBit[sq88To64[p->square]];
      bool pawn = p->desc.kind == PAWN;
      if (p->colour == pos->side) {
        own |= bit;
        ownPawns |= pawn ? bit : 0;
      } else {
        enemy |= bit;
        enemyPawns |= pawn ? bit : 0;
      }
      counts[p->desc.code]++;
      men++;
      if (pawn) files[p->colour > 0 ? 0 : 1][fileOf(p->square)]++;
      else if (p->desc.kind != KING) material += p->desc.middlegameValue;
    }
  }
  EXPECT_EQ(pos->ownBits, own);
  EXPECT_EQ(pos->enemyBits, enemy);
  EXPECT_EQ(pos->ownPawnBits, ownPawns);
  EXPECT_EQ(pos->enemyPawnBits, enemyPawns);
  EXPECT_EQ(pos->allBits, own | enemy);
  for (int c = 0; c < 13; c++) {
    if (c == EMPTY_CODE) continue;
    EXPECT_EQ(b->kinds[c].count, counts[c]) << "code " << c;
  }
  EXPECT_EQ(b->menCount, men);
  EXPECT_EQ(b->material, material);
  for (int f = 0; f < 8; f++) {
    EXPECT_EQ(b->white.pawnFiles()[f], files[0][f]);
    EXPECT_EQ(b->black.pawnFiles()[f], files[1][f]);
  }
  int empty = 0;
  for (int sq = 0; sq < 128; sq++)
    if (onBoard(sq) && b->at(sq) == &b->sentinel) empty++;
  EXPECT_EQ(empty, 64 - men);
  // castling rights only with the king at home
  if (pos->statusFlags & (2 | 8)) {
    EXPECT_EQ(b->pieces[32].square, 0x04);
  }
  if (pos->statusFlags & (4 | 0x10)) {
    EXPECT_EQ(b->pieces[0].square, 0x74);
  }
}

// Byte comparison of two boards; the copies of a kind inside a record carry
// stale count words by nature, and the sentinel's back link is not used.
void normalise(Board *b) {
  b->sentinel.prev = nullptr;
  for (PieceRecord &r : b->pieces) r.desc.count = 0, r.desc.currentValue = 0;
}

struct Walker {
  bool checkScore;
  uint64_t nodes = 0;
  std::unique_ptr<Board[]> saved{new Board[MAX_PLY]};
  std::unique_ptr<Board> a{new Board}, c{new Board};

  void expectSameBoard(const Board &before, const Board &after) {
    memcpy(a.get(), &before, sizeof(Board));
    memcpy(c.get(), &after, sizeof(Board));
    a->nodeCount = c->nodeCount = 0;
    normalise(a.get());
    normalise(c.get());
    ASSERT_EQ(memcmp(a.get(), c.get(), sizeof(Board)), 0);
  }

  void walk(Position *pos, int depth, int ply) {
    Position *child = pos + 1;
    Board *b = pos->pg;
    int n = generateAll(pos);
    std::vector<Move> moves(pos->moveList, pos->moveList + n);
    std::vector<uint8_t> body(sizeof(Position) - POSITION_BODY);
    for (Move m : moves) {
      memcpy(&saved[ply], b, sizeof(Board));
      memcpy(body.data(), &pos->ownBits, body.size());
      makeMove(pos, m, child);
      nodes++;
      bool terminal = child->statusFlags & 0x800;
      if (!terminal) {
        updateHashKey(child);
        ASSERT_EQ(child->key, computeKey(child)) << text(m) << " at ply " << ply;
        expectConsistent(child);
        if (checkScore) {
          ASSERT_EQ(child->score, scratchScore(child)) << text(m) << " at ply " << ply;
        }
        if (!kingAttacked(child, pos->side) && depth > 1) walk(child, depth - 1, ply + 1);
        if (::testing::Test::HasFatalFailure()) return;
      }
      unmakeMove(child);
      expectSameBoard(saved[ply], *b);
      ASSERT_EQ(memcmp(body.data(), &pos->ownBits, body.size()), 0) << "parent changed by " << text(m);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
};

const char *kTreePositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -",
    "4k3/1p6/8/2PpP3/8/8/6p1/R3K2R w KQ d6",
};

class MakeMove : public ::testing::Test {
 protected:
  void SetUp() override {
    perft::setUp(&stack, "4k3/8/8/8/8/8/8/4K3 w - -");
    clearTables(&gameBoard);
    gameBoard.tempo = 0;
  }
  void TearDown() override { clearTables(&gameBoard); }
  Position *at(const char *fen) { return position(&stack, fen); }
};

TEST_F(MakeMove, UnmakeRestoresExactlyOverPerftTrees) {
  for (int i = 0; i < (int)(sizeof kTreePositions / sizeof *kTreePositions); i++) {
    Position *p = at(kTreePositions[i]);
    fillTables(&gameBoard, 1000 + i, true);
    gameBoard.drawShrink = 17;
    p->statusFlags |= 0x400;
    Walker w{false};
    w.walk(p, 3, 0);
    if (::testing::Test::HasFatalFailure()) return;
    EXPECT_GT(w.nodes, 1000u) << kTreePositions[i];
  }
}

TEST_F(MakeMove, IncrementalScoreEqualsScoreFromScratch) {
  for (int i = 0; i < (int)(sizeof kTreePositions / sizeof *kTreePositions); i++) {
    Position *p = at(kTreePositions[i]);
    fillTables(&gameBoard, 2000 + i, false);
    p->score = scratchScore(p);
    Walker w{true};
    w.walk(p, 3, 0);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST_F(MakeMove, TempoEntersEveryChildScore) {
  Position *p = at("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
  p->pg->tempo = 5;
  p->score = 40;
  makeMove(p, word("g1f3"), p + 1);
  EXPECT_EQ(p[1].score, 5 - 40);
  unmakeMove(p + 1);
}

// ---- edge cases ----

TEST_F(MakeMove, CapturingTheKingIsTerminal) {
  Position *p = at("4k3/8/8/8/8/8/8/4R1K1 w - -");
  auto before = std::make_unique<Board>(gameBoard);
  makeMove(p, word("e1e8"), p + 1);
  EXPECT_EQ(p[1].score, -9999);
  EXPECT_TRUE(p[1].statusFlags & 0x800);
  EXPECT_EQ(gameBoard.at(square("e8"))->desc.code, WHITE_ROOK);
  unmakeMove(p + 1);
  Walker w{false};
  w.expectSameBoard(*before, gameBoard);
}

TEST_F(MakeMove, PawnCapturingTheKingOnTheLastRankRestoresFileCounts) {
  Position *p = at("6k1/7P/8/8/8/8/8/4K3 w - -");
  auto before = std::make_unique<Board>(gameBoard);
  makeMove(p, word("h7g8"), p + 1);
  EXPECT_EQ(p[1].score, -9999);
  EXPECT_TRUE(p[1].statusFlags & 0x800);
  unmakeMove(p + 1);
  EXPECT_EQ(gameBoard.white.pawnFiles()[7], 1);
  EXPECT_EQ(gameBoard.white.pawnFiles()[6], 0);
  Walker w{false};
  w.expectSameBoard(*before, gameBoard);
  expectConsistent(p);
}

TEST_F(MakeMove, BackAndForthKnightsDrawOnTheSixthReturn) {
  Position *p = at("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
  const char *line[] = {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"};
  for (int i = 0; i < 8; i++) {
    makeMove(&p[i], word(line[i]), &p[i + 1]);
    EXPECT_EQ(p[i + 1].shuffleCount, i < 2 ? 0 : i - 1) << line[i];
    EXPECT_EQ((p[i + 1].statusFlags & 0x800) != 0, i == 7) << line[i];
    expectConsistent(&p[i + 1]);
  }
  EXPECT_EQ(p[8].score, 0);
  for (int i = 8; i >= 1; i--) unmakeMove(&p[i]);
  expectConsistent(p);
}

TEST_F(MakeMove, ReturnOntoTheLineJustPassedDoesNotCount) {
  // Bd4-e5, Rd8-d1 (through d4), Be5-d4: the bishop returns onto the rook's line
  Position *p = at("3rk3/8/8/8/3B4/8/8/4K3 w - -");
  p->halfMoveClock = 10;
  makeMove(&p[0], word("d4e5"), &p[1]);
  makeMove(&p[1], word("d8d1"), &p[2]);
  makeMove(&p[2], word("e5d4"), &p[3]);
  EXPECT_EQ(p[3].shuffleCount, 0);
  for (int i = 3; i >= 1; i--) unmakeMove(&p[i]);
  // Rd8-d5 stops short of d4: the return counts
  makeMove(&p[0], word("d4e5"), &p[1]);
  makeMove(&p[1], word("d8d5"), &p[2]);
  makeMove(&p[2], word("e5d4"), &p[3]);
  EXPECT_EQ(p[3].shuffleCount, 1);
  for (int i = 3; i >= 1; i--) unmakeMove(&p[i]);
  expectConsistent(p);
}

TEST_F(MakeMove, HundredthQuietHalfMoveSetsCannotWin) {
  Position *p = at("4k3/8/8/8/8/8/4P3/4K3 w - -");
  p->statusFlags &= ~0x60;
  p->halfMoveClock = 99;
  makeMove(p, word("e1d1"), p + 1);
  EXPECT_EQ(p[1].halfMoveClock, 100);
  EXPECT_TRUE(p[1].statusFlags & 0x40);  // black is to move in the child
  EXPECT_FALSE(p[1].statusFlags & 0x20);
  unmakeMove(p + 1);
  makeMove(p, word("e2e3"), p + 1);  // a pawn move: no flag, clock reset
  EXPECT_EQ(p[1].halfMoveClock, 0);
  EXPECT_FALSE(p[1].statusFlags & 0x60);
  unmakeMove(p + 1);
  p->halfMoveClock = 98;
  makeMove(p, word("e1d1"), p + 1);
  EXPECT_FALSE(p[1].statusFlags & 0x60);
  unmakeMove(p + 1);
}

TEST_F(MakeMove, BareMaterialFlagsAfterCaptures) {
  Position *p = at("4k3/8/8/8/8/8/3r4/1NN1K3 w - -");
  p->statusFlags &= ~0x60;
  makeMove(p, word("b1d2"), p + 1);
  EXPECT_TRUE(p[1].statusFlags & 0x20);  // two knights cannot win against a bare king
  EXPECT_TRUE(p[1].statusFlags & 0x40);
  unmakeMove(p + 1);
  p = at("4k3/7p/8/8/8/8/3r4/1NN1K3 w - -");
  p->statusFlags &= ~0x60;
  makeMove(p, word("b1d2"), p + 1);
  EXPECT_FALSE(p[1].statusFlags & 0x20);  // ...but they can against a pawn
  EXPECT_FALSE(p[1].statusFlags & 0x40);
  unmakeMove(p + 1);
  p = at("4k3/8/8/8/8/8/3r4/1NB1K3 w - -");
  p->statusFlags &= ~0x60;
  makeMove(p, word("b1d2"), p + 1);
  EXPECT_FALSE(p[1].statusFlags & 0x20);  // bishop and knight can
  unmakeMove(p + 1);
}

TEST_F(MakeMove, BareMaterialFlagsWhenOnlyOneSideKeepsPawns) {
  // Black is left with a bare king while White still has a pawn
  Position *p = at("4k3/8/8/8/8/8/3r3P/1NN1K3 w - -");
  p->statusFlags &= ~0x60;
  makeMove(p, word("b1d2"), p + 1);
  EXPECT_FALSE(p[1].statusFlags & 0x20);
  EXPECT_TRUE(p[1].statusFlags & 0x40);
  unmakeMove(p + 1);
  // with pawns on both sides neither side is bare
  p = at("4k3/7p/8/8/8/8/3r3P/1N2K3 w - -");
  p->statusFlags &= ~0x60;
  makeMove(p, word("b1d2"), p + 1);
  EXPECT_FALSE(p[1].statusFlags & 0x60);
  unmakeMove(p + 1);
}

TEST_F(MakeMove, MaterialReachingZero) {
  Position *p = at("4k3/8/8/8/8/8/3n4/4K3 w - -");
  makeMove(p, word("e1d2"), p + 1);
  EXPECT_EQ(gameBoard.material, 0);
  EXPECT_TRUE(p[1].nodeFlags & 0x1000);
  unmakeMove(p + 1);
  EXPECT_EQ(gameBoard.material, 225);
  p = at("4k3/P7/8/8/8/8/8/4K3 w - -");
  makeMove(p, word("a7a8"), p + 1);
  EXPECT_TRUE(p[1].nodeFlags & 0x1000);  // promoted out of zero material
  EXPECT_EQ(gameBoard.material, 720);
  unmakeMove(p + 1);
  EXPECT_EQ(gameBoard.material, 0);
}

TEST_F(MakeMove, EnPassantTakesThePawnBehindAndIsSpecial) {
  Position *p = at("4k3/8/8/3pP3/8/8/8/4K3 w - d6");
  auto before = std::make_unique<Board>(gameBoard);
  makeMove(p, word("e5d6"), p + 1);
  EXPECT_TRUE(isSpecialMove(p + 1));
  EXPECT_EQ(p[1].capturedPiece->square, square("d5") + 8);
  EXPECT_EQ(gameBoard.at(square("d5")), &gameBoard.sentinel);
  EXPECT_EQ(gameBoard.at(square("d6"))->desc.code, WHITE_PAWN);
  updateHashKey(p + 1);
  EXPECT_EQ(p[1].key, computeKey(p + 1));
  expectConsistent(p + 1);
  unmakeMove(p + 1);
  EXPECT_EQ(gameBoard.at(square("d5"))->desc.code, BLACK_PAWN);
  EXPECT_EQ(gameBoard.at(square("d6")), &gameBoard.sentinel);
  Walker w{false};
  w.expectSameBoard(*before, gameBoard);
}

TEST_F(MakeMove, OnlyADiagonalMoveOntoTheEpSquareIsEnPassant) {
  Position *p = at("4k3/8/8/8/8/8/4P3/4K3 w - -");
  p->nodeFlags |= 4;  // an e.p. square in front of the pawn, as a stale record could carry
  p->epSquare = square("e3");
  auto before = std::make_unique<Board>(gameBoard);
  makeMove(p, word("e2e3"), p + 1);
  EXPECT_FALSE(isSpecialMove(p + 1));
  EXPECT_EQ(p[1].capturedPiece, &gameBoard.sentinel);
  expectConsistent(p + 1);
  unmakeMove(p + 1);
  Walker w{false};
  w.expectSameBoard(*before, gameBoard);
}

TEST_F(MakeMove, DoubleStepSetsTheEpSquare) {
  Position *p = at("4k3/8/8/8/8/8/4P3/4K3 w - -");
  makeMove(p, word("e2e4"), p + 1);
  EXPECT_TRUE(p[1].nodeFlags & 4);
  EXPECT_EQ(p[1].epSquare, square("e3"));
  makeMove(p + 1, word("e8d8"), p + 2);
  EXPECT_FALSE(p[2].nodeFlags & 4);
  unmakeMove(p + 2);
  unmakeMove(p + 1);
}

TEST_F(MakeMove, PromotionKindsByToByte) {
  struct Case {
    const char *fen;
    int from, toByte, code;
  } cases[] = {
      {"4k3/P7/8/8/8/8/8/4K3 w - -", 0x60, 0x70, WHITE_QUEEN},  {"4k3/P7/8/8/8/8/8/4K3 w - -", 0x60, 0x80, WHITE_ROOK},
      {"4k3/P7/8/8/8/8/8/4K3 w - -", 0x60, 0x90, WHITE_BISHOP}, {"4k3/P7/8/8/8/8/8/4K3 w - -", 0x60, 0xA0, WHITE_KNIGHT},
      {"4k3/8/8/8/8/8/p7/4K3 b - -", 0x10, 0x00, BLACK_QUEEN},  {"4k3/8/8/8/8/8/p7/4K3 b - -", 0x10, 0xF0, BLACK_ROOK},
      {"4k3/8/8/8/8/8/p7/4K3 b - -", 0x10, 0xE0, BLACK_BISHOP}, {"4k3/8/8/8/8/8/p7/4K3 b - -", 0x10, 0xD0, BLACK_KNIGHT},
  };
  for (const Case &c : cases) {
    Position *p = at(c.fen);
    auto before = std::make_unique<Board>(gameBoard);
    Move m = makeMoveWord(c.from, c.toByte);
    int to = realTo(m);
    makeMove(p, m, p + 1);
    const PieceRecord *piece = gameBoard.at(to);
    EXPECT_EQ(piece->desc.code, c.code) << std::hex << c.toByte;
    EXPECT_EQ(piece->kind, &gameBoard.kinds[c.code]);
    EXPECT_EQ(gameBoard.kinds[c.code].count, 1);
    EXPECT_TRUE(isSpecialMove(p + 1));
    updateHashKey(p + 1);
    EXPECT_EQ(p[1].key, computeKey(p + 1));
    expectConsistent(p + 1);
    unmakeMove(p + 1);
    Walker w{false};
    w.expectSameBoard(*before, gameBoard);
  }
}

TEST_F(MakeMove, PawnCaptureMovesFileCountsAndUnmakeRestoresThem) {
  Position *p = at("4k3/8/8/3p4/4P3/8/8/4K3 w - -");
  fillTables(&gameBoard, 7, true);
  makeMove(p, word("e4d5"), p + 1);
  EXPECT_EQ(gameBoard.white.pawnFiles()[4], 0);
  EXPECT_EQ(gameBoard.white.pawnFiles()[3], 1);
  EXPECT_EQ(gameBoard.black.pawnFiles()[3], 0);
  unmakeMove(p + 1);
  EXPECT_EQ(gameBoard.white.pawnFiles()[4], 1);
  EXPECT_EQ(gameBoard.white.pawnFiles()[3], 0);
  EXPECT_EQ(gameBoard.black.pawnFiles()[3], 1);
}

TEST_F(MakeMove, IsolatedPressureFollowsAPawnThatLeavesItsFile) {
  // White's lone e-pawn (isolated) captures onto d5 next to the c-pawn: the e-file
  // penalty goes, the pawn on d is no longer isolated and c gains a neighbour.
  Position *p = at("4k3/8/8/3p4/4P3/8/2P5/4K3 w - -");
  PreparedDataFields &d = gameBoard.prepared.data;
  d.isolatedPressure[1][4] = 10;  // charged to white pawns: black's entries
  d.isolatedPressure[1][3] = 20;
  d.isolatedPressure[1][2] = 40;
  d.isolatedPressure[0][3] = 7;   // charged to black pawns
  p->score = 0;
  makeMove(p, word("e4d5"), p + 1);
  // child (black) view: Black's lone d-pawn leaves (+7 for Black); White's pawn
  // enters the empty d-file between its c- and e-pawns (+40, +10 for White) and
  // leaves e with the d-pawn beside it (no change)
  EXPECT_EQ(p[1].score, 7 - (40 + 10));
  unmakeMove(p + 1);
}

TEST_F(MakeMove, OpenFileRookBonus) {
  Position *p = at("4k3/8/8/8/8/8/8/R3K3 w - -");
  gameBoard.prepared.data.openFileRookBonus = 9;
  p->score = 0;
  makeMove(p, word("a1b1"), p + 1);
  EXPECT_EQ(gameBoard.at(square("b1"))->value, 9);
  EXPECT_EQ(p[1].score, -9);  // the rook's value was 0 before: White gained the bonus
  unmakeMove(p + 1);
  EXPECT_EQ(gameBoard.at(square("a1"))->value, 0);
}

TEST_F(MakeMove, OnlyRooksStandingOnAFileAreRevaluedWhenItOpens) {
  Position *p = at("3rk3/b2p4/4N3/8/3R4/8/8/4K3 b - -");
  gameBoard.prepared.data.openFileRookBonus = 9;
  PieceRecord *white = gameBoard.at(square("d4"));
  PieceRecord *black = gameBoard.at(square("d8"));
  int blackBefore = black->value;
  auto before = std::make_unique<Board>(gameBoard);
  makeMove(p, word("a7d4"), p + 1);  // the white rook is taken on the d-file
  int whiteTaken = white->value;
  makeMove(p + 1, word("e1f1"), p + 2);
  makeMove(p + 2, word("d7e6"), p + 3);  // the d-file opens
  EXPECT_EQ(black->value, blackBefore + 9);
  EXPECT_EQ(white->value, whiteTaken);  // off the board, on no file
  for (int i = 3; i >= 1; i--) unmakeMove(p + i);
  EXPECT_EQ(black->value, blackBefore);
  Walker w{false};
  w.expectSameBoard(*before, gameBoard);
}

TEST_F(MakeMove, RookTakingAPawnOnItsFileGetsItsOwnValueBack) {
  // The capture opens the d-file and unmake closes it again: both re-value the
  // rooks of the file, the mover among them; unmake ends on the mover's old value.
  Position *p = at("4k3/8/8/3p4/8/8/8/3RK3 w - -");
  gameBoard.prepared.data.openFileRookBonus = 9;
  PieceRecord *rook = gameBoard.at(square("d1"));
  rook->value = 77;  // not the formula's value: only a restore brings it back
  makeMove(p, word("d1d5"), p + 1);
  EXPECT_EQ(rook->value, 9);
  unmakeMove(p + 1);
  EXPECT_EQ(rook->value, 77);
  EXPECT_EQ(gameBoard.black.pawnFiles()[3], 1);
  expectConsistent(p);
}

TEST_F(MakeMove, PromotionWithCaptureUnmakesBothSteps) {
  Position *p = at("1r2k3/P7/8/8/8/8/8/4K3 w - -");
  fillTables(&gameBoard, 11, true);
  auto before = std::make_unique<Board>(gameBoard);
  makeMove(p, word("a7b8"), p + 1);
  EXPECT_EQ(gameBoard.at(square("b8"))->desc.code, WHITE_QUEEN);
  EXPECT_EQ(gameBoard.white.pawnFiles()[0], 0);
  unmakeMove(p + 1);
  Walker w{false};
  w.expectSameBoard(*before, gameBoard);
  expectConsistent(p);
}

TEST_F(MakeMove, CastlingMovesTheRookAndUnmakeReturnsIt) {
  Position *p = at("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  auto before = std::make_unique<Board>(gameBoard);
  makeMove(p, word("e1g1"), p + 1);
  EXPECT_TRUE(isSpecialMove(p + 1));
  EXPECT_EQ(gameBoard.at(square("f1"))->desc.code, WHITE_ROOK);
  EXPECT_EQ(gameBoard.at(square("h1")), &gameBoard.sentinel);
  EXPECT_EQ(p[1].statusFlags & 0x1E, 4 | 0x10);
  updateHashKey(p + 1);
  EXPECT_EQ(p[1].key, computeKey(p + 1));
  expectConsistent(p + 1);
  makeMove(p + 1, word("e8c8"), p + 2);
  EXPECT_EQ(gameBoard.at(square("d8"))->desc.code, BLACK_ROOK);
  EXPECT_EQ(gameBoard.at(square("a8")), &gameBoard.sentinel);
  EXPECT_EQ(p[2].statusFlags & 0x1E, 0);
  updateHashKey(p + 2);
  EXPECT_EQ(p[2].key, computeKey(p + 2));
  unmakeMove(p + 2);
  unmakeMove(p + 1);
  Walker w{false};
  w.expectSameBoard(*before, gameBoard);
}

TEST_F(MakeMove, CastlingToTheOtherSides) {
  Position *p = at("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  auto before = std::make_unique<Board>(gameBoard);
  struct Case {
    const char *move, *corner, *rookTo;
    int rookCode;
  } cases[] = {{"e1c1", "a1", "d1", WHITE_ROOK}, {"e8g8", "h8", "f8", BLACK_ROOK}};
  for (int i = 0; i < 2; i++) {
    const Case &c = cases[i];
    Position *child = p + i + 1;
    makeMove(p + i, word(c.move), child);
    EXPECT_TRUE(isSpecialMove(child)) << c.move;
    EXPECT_EQ(gameBoard.at(square(c.rookTo))->desc.code, c.rookCode) << c.move;
    EXPECT_EQ(gameBoard.at(square(c.corner)), &gameBoard.sentinel) << c.move;
    // the castling side's men, as the child sees them: the rook moved with the king
    uint64_t rookSquares = squareBit88[square(c.corner)] | squareBit88[square(c.rookTo)];
    EXPECT_EQ(child->enemyBits & rookSquares, squareBit88[square(c.rookTo)]) << c.move;
    expectConsistent(child);
  }
  EXPECT_EQ(p[2].statusFlags & 0x1E, 0);
  unmakeMove(p + 2);
  unmakeMove(p + 1);
  Walker w{false};
  w.expectSameBoard(*before, gameBoard);
}

TEST_F(MakeMove, RookLeavingOrLosingItsCornerEndsThatRight) {
  Position *p = at("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  makeMove(p, word("h1h2"), p + 1);
  EXPECT_EQ(p[1].statusFlags & 0x1E, 8 | 4 | 0x10);
  // the rook back on h1 does not bring the right back
  makeMove(p + 1, word("e8d8"), p + 2);
  makeMove(p + 2, word("h2h1"), p + 3);
  makeMove(p + 3, word("d8e8"), p + 4);
  EXPECT_FALSE(castlingAllowed(p + 4, square("e1"), 1));
  for (int i = 4; i >= 1; i--) unmakeMove(p + i);
  makeMove(p, word("a1a8"), p + 1);  // takes the rook on a8
  EXPECT_EQ(p[1].statusFlags & 0x1E, 2 | 4);
  unmakeMove(p + 1);
}

TEST_F(MakeMove, UpdateCastlingRightsChecksTheCorners) {
  Position *p = at("r3k3/8/8/8/8/8/8/4K2R w KQkq -");
  updateCastlingRights(p);
  EXPECT_EQ(p->statusFlags & 0x1E, 2 | 0x10);
  p = at("4k2r/8/8/8/8/8/8/R3K3 w KQkq -");
  updateCastlingRights(p);
  EXPECT_EQ(p->statusFlags & 0x1E, 8 | 4);
  p = at("4k2r/8/8/8/8/8/8/B3K3 w KQkq -");  // a bishop on a1 is not a rook
  updateCastlingRights(p);
  EXPECT_EQ(p->statusFlags & 0x1E, 4);
}

TEST_F(MakeMove, NodeCounterAndInitPosition) {
  Position *p = at("4k3/8/8/8/8/8/8/4K3 w - -");
  int64_t n = gameBoard.nodeCount;
  makeMove(p, word("e1d1"), p + 1);
  unmakeMove(p + 1);
  EXPECT_EQ(gameBoard.nodeCount, n + 1);
  Position q;
  q.childKillers[0] = word("e2e4");
  initPosition(&q, &gameBoard);
  EXPECT_EQ(q.childKillers[0], NO_MOVE);
  EXPECT_EQ(q.pg, &gameBoard);
}

}  // namespace
