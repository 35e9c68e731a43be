// FEN reading and position set-up: the accept/reject rules, castling and e.p.
// handling, record allotment, counts and the game record.
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "engine/board/keys.h"
#include "engine/board/tables/bitboard.h"
#include "engine/board/tables/piece_types.h"
#include "engine/search/hash.h"
#include "platform/platform.h"

namespace {

struct FenTest : ::testing::Test {
  static void SetUpTestSuite() { initEngineCore(); }
  // parseFen + setupPosition as the module's set-position operation does it
  static int setFen(const char *fen) {
    if (parseFen(fen) != 0) return -1;
    return setupPosition(&rootPosition, &gameRecord);
  }
  static int countOf(int code) { return gameBoard.kinds[code].count; }
  static const PieceRecord *at(const char *sq) { return gameBoard.at((sq[0] - 'a') + (sq[1] - '1') * 16); }
};

TEST_F(FenTest, StartPosition) {
  ASSERT_EQ(setFen(nullptr), 0);
  EXPECT_EQ(rootPosition.side, 1);
  EXPECT_EQ(rootPosition.statusFlags & 30, 30);
  EXPECT_EQ(rootPosition.epSquare, NO_SQUARE);
  EXPECT_EQ(gameRecord.moveNumber, 1);
  EXPECT_EQ(gameBoard.menCount, 32);
  EXPECT_EQ(countOf(WHITE_PAWN), 8);
  EXPECT_EQ(countOf(BLACK_KNIGHT), 2);
  // material: knights, bishops, rooks and queens of both sides
  EXPECT_EQ(gameBoard.material, 2 * (2 * 225 + 2 * 247 + 2 * 350 + 720));
  EXPECT_EQ(rootPosition.ownBits, 0xFFFFull);
  EXPECT_EQ(rootPosition.enemyBits, 0xFFFF000000000000ull);
  EXPECT_EQ(rootPosition.ownPawnBits, 0xFF00ull);
  EXPECT_EQ(rootPosition.allBits, rootPosition.ownBits | rootPosition.enemyBits);
  EXPECT_EQ(gameBoard.white.pawnFiles()[0], 1);
  EXPECT_EQ(gameBoard.white.pawnFiles()[-1], 0);
  EXPECT_EQ(rootPosition.lastMove, NO_MOVE);
  EXPECT_EQ(gameRecord.historyKeyCount, 1);
  EXPECT_EQ(gameRecord.historyKeys[0], rootPosition.key);
  // lists: white's list runs from the pawns to the king
  const PieceRecord *first = gameBoard.white.node.next;
  EXPECT_EQ(first->kind->kind, PAWN);
  const PieceRecord *r = first;
  int n = 1;
  while (r->next != gameBoard.end()) r = r->next, n++;
  EXPECT_EQ(n, 16);
  EXPECT_EQ(r->kind->kind, KING);
  EXPECT_EQ(at("e1")->kind->code, WHITE_KING);
  EXPECT_EQ(at("d8")->kind->code, BLACK_QUEEN);
  EXPECT_EQ(at("e4"), gameBoard.end());
}

TEST_F(FenTest, MinimalFieldsAccepted) {
  ASSERT_EQ(setFen("8/8/8/8/8/8/8/K6k w - -"), 0);
  EXPECT_EQ(rootPosition.side, 1);
  EXPECT_EQ(rootPosition.statusFlags & 30, 0);
  EXPECT_EQ(rootPosition.epSquare, NO_SQUARE);
  EXPECT_EQ(rootPosition.nodeFlags & 4, 0);
  EXPECT_EQ(gameRecord.moveNumber, 21);  // any FEN text starts at 21
}

TEST_F(FenTest, TextEndingAfterSideLetterHasAllRights) {
  ASSERT_EQ(setFen("r3k2r/8/8/8/8/8/8/R3K2R b"), 0);
  EXPECT_EQ(rootPosition.side, -1);
  EXPECT_EQ(rootPosition.statusFlags & 30, 30);
  EXPECT_EQ(rootPosition.epSquare, NO_SQUARE);
}

TEST_F(FenTest, EnPassantField) {
  // e3 is 0x24 and is kept only when the double step is real
  ASSERT_EQ(setFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"), 0);
  EXPECT_EQ(rootPosition.epSquare, 0x24);
  EXPECT_NE(rootPosition.nodeFlags & 4, 0);
  ASSERT_EQ(setFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR B KQkq e3"), 0);
  EXPECT_EQ(rootPosition.epSquare, 0x24);
  // wrong side to move, no pawn in front, or occupied squares: treated as none
  ASSERT_EQ(setFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR W KQkq e3 0 1"), 0);
  EXPECT_EQ(rootPosition.epSquare, NO_SQUARE);
  EXPECT_EQ(rootPosition.nodeFlags & 4, 0);
  ASSERT_EQ(setFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e3"), 0);
  EXPECT_EQ(rootPosition.epSquare, NO_SQUARE);
  ASSERT_EQ(setFen("rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6"), 0);
  EXPECT_EQ(rootPosition.epSquare, 0x53);
  ASSERT_EQ(setFen("rnbqkbnr/ppp1pppp/3N4/3pP3/8/8/PPPP1PPP/R1BQKBNR w KQkq d6"), 0);
  EXPECT_EQ(rootPosition.epSquare, NO_SQUARE);
}

TEST_F(FenTest, NilMeansNone) {
  ASSERT_EQ(setFen("r3k2r/8/8/8/8/8/8/R3K2R w nil nil"), 0);
  EXPECT_EQ(rootPosition.statusFlags & 30, 0);
  EXPECT_EQ(rootPosition.epSquare, NO_SQUARE);
}

TEST_F(FenTest, MalformedFieldsRejected) {
  const char *bad[] = {
      "8/8/8/8/8/8/8/K6k x - -",        // side letter
      "8/8/8/8/8/8/8/K6k",              // no side field
      "8/8/8/8/8/8/8/K6k wb - -",       // side field too long
      "8/8/8/8/8/8/8/K6k w X -",        // castling letter
      "8/8/8/8/8/8/8/K6k w -x -",       // text after "-"
      "8/8/8/8/8/8/8/K6k w - e9",       // e.p. rank
      "8/8/8/8/8/8/8/K6k w - e3x",      // text after the square
      "8/8/8/8/8/8/8/K6k w - eA",       // not a rank
      "8/8/8/8/8/8/8/K6k w - e!",       // not a rank
      "8/8/8/8/8/8/8/K6k w - i3",       // not a file
      "8/8/8/8/8/8/8/K6k w - e",        // half a square
      "8/8/8/8/8/8/K6k w - -",          // seven ranks
      "8/8/8/8/8/8/8/8/K6k w - -",      // nine ranks
      "9/8/8/8/8/8/8/K6k w - -",        // digit outside 1..8
      "0/8/8/8/8/8/8/K6k w - -",        // digit outside 1..8
      "8/8/8/8/8/8/8/K6kk w - -",       // nine squares on a rank
      "8/7/8/8/8/8/8/K6k w - -",        // seven squares before "/"
      "8/8/8/8/8/8/8/K6x w - -",        // letter outside the twelve
      "8/8/8/8/8/8/8/K5k w - -",        // ends before h1
      "",                               // empty text
  };
  for (const char *fen : bad) EXPECT_EQ(parseFen(fen), -1) << fen;
}

TEST_F(FenTest, KingsAndPawnsMustBePlausible) {
  EXPECT_EQ(parseFen("8/8/8/8/8/8/8/K7 w - -"), -1);          // no black king
  EXPECT_EQ(parseFen("8/8/8/8/8/8/8/7k w - -"), -1);          // no white king
  EXPECT_EQ(parseFen("k7/8/8/8/8/8/8/K6K w - -"), -1);        // second king
  EXPECT_EQ(parseFen("P6k/8/8/8/8/8/8/K7 w - -"), -1);        // pawn on the last rank
  EXPECT_EQ(parseFen("7k/8/8/8/8/8/8/K6p w - -"), -1);        // pawn on the first rank
  // seventeenth white piece: every record of the colour is taken
  EXPECT_EQ(parseFen("7k/8/8/8/8/N7/PPPPPPPP/RNBQKBNR w - -"), -1);
  EXPECT_EQ(parseFen("7k/8/8/8/8/8/PPPPPPPP/RNBQKBNR w - -"), 0);
}

TEST_F(FenTest, ExtraPiecesTakePawnRecords) {
  ASSERT_EQ(setFen("7k/8/8/8/8/8/8/KNNN4 w - -"), 0);
  EXPECT_EQ(countOf(WHITE_KNIGHT), 3);
  // the third knight is one of the pawn records, re-kinded
  int pawnRecordsAsKnights = 0;
  for (int i = 17; i <= 24; i++)
    if (gameBoard.pieces[i].colour && gameBoard.pieces[i].kind->code == WHITE_KNIGHT) pawnRecordsAsKnights++;
  EXPECT_EQ(pawnRecordsAsKnights, 1);
  EXPECT_EQ(gameBoard.material, 3 * 225);
}

TEST_F(FenTest, CastlingNeedsTheKingAtHome) {
  ASSERT_EQ(setFen("r3k2r/8/8/8/8/8/8/R4K1R w KQkq -"), 0);
  EXPECT_EQ(rootPosition.statusFlags & 30, 4 | 16);
  ASSERT_EQ(setFen("r4k1r/8/8/8/8/8/8/R3K2R w KQkq -"), 0);
  EXPECT_EQ(rootPosition.statusFlags & 30, 2 | 8);
}

TEST_F(FenTest, MatingMaterialBits) {
  ASSERT_EQ(setFen("7k/8/8/8/8/8/8/KNN5 w - -"), 0);  // K+N+N cannot force mate
  EXPECT_NE(rootPosition.statusFlags & 0x20, 0);
  EXPECT_NE(rootPosition.statusFlags & 0x40, 0);  // a bare king neither
  ASSERT_EQ(setFen("7k/8/8/8/8/8/8/KBN5 w - -"), 0);
  EXPECT_EQ(rootPosition.statusFlags & 0x20, 0);
  ASSERT_EQ(setFen("7k/8/8/8/8/8/8/KB6 w - -"), 0);
  EXPECT_NE(rootPosition.statusFlags & 0x20, 0);
  ASSERT_EQ(setFen("7k/p7/8/8/8/8/8/KNNN4 w - -"), 0);
  EXPECT_EQ(rootPosition.statusFlags & 0x20, 0);
  EXPECT_EQ(rootPosition.statusFlags & 0x40, 0);
}

TEST_F(FenTest, RejectedTextLeavesTheGameIntact) {
  ASSERT_EQ(setFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"), 0);
  uint64_t key = rootPosition.key;
  char fen[FEN_BUFFER_SIZE];
  strcpy(fen, gameRecord.fenBuffer);
  int side = gameRecord.startSide;
  EXPECT_EQ(parseFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBN w KQkq -"), -1);
  EXPECT_EQ(parseFen("8/8/8/8/8/8/8/K7 w - -"), -1);
  EXPECT_STREQ(gameRecord.fenBuffer, fen);
  EXPECT_EQ(gameRecord.startSide, side);
  EXPECT_EQ(rootPosition.key, key);
  EXPECT_EQ(gameRecord.startEpSquare, 0x24);
}

TEST_F(FenTest, LongTexts) {
  std::string longLegal = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -" + std::string(120, ' ') + "0 1";
  EXPECT_EQ(parseFen(longLegal.c_str()), 0);  // legal FENs may pass 80 characters
  std::string tooLong(4000, '1');
  EXPECT_EQ(parseFen(tooLong.c_str()), -1);
  std::string hugeField = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR" + std::string(300, 'x') + " w";
  EXPECT_EQ(parseFen(hugeField.c_str()), -1);
}

TEST_F(FenTest, KeyIsTheXorOfThePieces) {
  ASSERT_EQ(setFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q2/PPPBBPPP/R3K2R b KQkq -"), 0);
  uint64_t k = sideKey;
  for (int sq = 0; sq < 128; sq++) {
    if (!onBoard(sq)) continue;
    const PieceRecord *r = gameBoard.at(sq);
    if (r != gameBoard.end()) k ^= PieceType[r->kind->code].zobrist[sq];
  }
  EXPECT_EQ(rootPosition.key, k);
  EXPECT_EQ(computeKey(&rootPosition), k);
}

TEST(Stopwatch, RunsAccumulate) {
  Stopwatch sw = {};
  stopwatchClear(&sw);
  EXPECT_EQ(stopwatchRead(&sw), 0);
  stopwatchStart(&sw);
  platformSleepMs(20);
  EXPECT_GE(stopwatchRead(&sw), 19);  // a running read includes the current run
  stopwatchStop(&sw);
  int32_t once = sw.elapsedMs;
  platformSleepMs(20);
  stopwatchStop(&sw);  // a second stop adds nothing
  EXPECT_EQ(sw.elapsedMs, once);
  EXPECT_EQ(stopwatchRead(&sw), once);
  stopwatchStart(&sw);
  platformSleepMs(10);
  stopwatchStop(&sw);
  EXPECT_GE(sw.elapsedMs, once + 9);
  stopwatchClear(&sw);
  EXPECT_EQ(stopwatchRead(&sw), 0);
}

}  // namespace
