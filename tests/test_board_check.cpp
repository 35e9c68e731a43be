// The board checker and the game record's repetition count: positions from
// FEN and every legal child pass the checker; each kind of corruption of a
// board's derived words is caught; a position met three times is counted three
// times.
#include <cstring>
#include <gtest/gtest.h>

#include "engine/board/board_check.h"
#include "engine/board/board_copy.h"
#include "engine/board/game/game.h"
#include "engine/board/moves/legal_moves.h"
#include "engine/board/moves/makemove.h"
#include "tests/move_helpers.h"

namespace {

using movetest::square;
using movetest::word;

const char *const kPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -",
    "4k3/8/8/3PpP2/8/8/8/4K3 w - e6",
};

struct BoardCheck : ::testing::Test {
  perft::Stack stack;
  Position *at(const char *fen) { return movetest::position(&stack, fen); }
};

// Every legal child two plies deep, and the parent after each unmake.
void walk(Position *pos, int depth) {
  Position *child = pos + 1;
  int n = generateAll(pos);
  std::vector<Move> moves(pos->moveList, pos->moveList + n);
  for (Move m : moves) {
    if (!makeLegal(pos, m, child)) continue;
    ASSERT_TRUE(boardIsOk(child, false)) << movetest::text(m);
    if (depth > 1) walk(child, depth - 1);
    unmakeMove(child);
    ASSERT_TRUE(boardIsOk(pos, false)) << "after unmaking " << movetest::text(m);
  }
}

TEST_F(BoardCheck, SetUpPositionsAndTheirChildrenPass) {
  for (const char *fen : kPositions) {
    Position *p = at(fen);
    ASSERT_TRUE(boardIsOk(p, true)) << fen;
    walk(p, 2);
    if (HasFatalFailure()) return;
  }
}

TEST_F(BoardCheck, ACopiedBoardPasses) {
  at(kPositions[1]);
  static Board copy;
  copyBoard(&copy, &gameBoard);
  EXPECT_TRUE(boardIsOk(&copy));
  Position pos;
  copyPosition(&pos, &rootPosition);
  rebasePosition(&pos, &gameBoard, &copy);
  EXPECT_TRUE(boardIsOk(&pos, true));
}

TEST_F(BoardCheck, EachCorruptionIsCaught) {
  Position *p = at(kPositions[1]);
  Board *b = p->pg;
  ASSERT_TRUE(boardIsOk(p, true));
  auto expectCaught = [&](const char *what, auto corrupt, auto repair) {
    corrupt();
    EXPECT_FALSE(boardIsOk(p, true)) << what;
    repair();
    ASSERT_TRUE(boardIsOk(p, true)) << what << " repaired";
  };
  PieceRecord **sq = b->squares();
  const int e1 = square("e1"), e2 = square("e2"), a2 = square("a2");
  PieceRecord *king = sq[e1];
  expectCaught("an empty square shows a piece", [&] { sq[square("d4")] = king; }, [&] { sq[square("d4")] = &b->sentinel; });
  expectCaught("a piece off its square", [&] { sq[e1] = &b->sentinel; }, [&] { sq[e1] = king; });
  expectCaught("a record with a wrong square", [&] { king->square = e2; }, [&] { king->square = e1; });
  expectCaught("a kind count", [&] { b->kinds[WHITE_KNIGHT].count++; }, [&] { b->kinds[WHITE_KNIGHT].count--; });
  expectCaught("the men count", [&] { b->menCount--; }, [&] { b->menCount++; });
  expectCaught("the material", [&] { b->material += 5; }, [&] { b->material -= 5; });
  expectCaught("a pawn file count", [&] { b->white.pawnFiles()[0]--; }, [&] { b->white.pawnFiles()[0]++; });
  PieceRecord *pawn = sq[a2];
  PieceRecord *before = pawn->prev;
  expectCaught("a broken list link", [&] { pawn->prev = pawn; }, [&] { pawn->prev = before; });
  expectCaught("a guard square", [&] { b->squareArray[5] = king; }, [&] { b->squareArray[5] = &b->offBoard; });
  uint64_t bit = 1ull << 20;
  expectCaught("the own bitboard", [&] { p->ownBits ^= bit; }, [&] { p->ownBits ^= bit; });
  expectCaught("the pawn bitboard", [&] { p->enemyPawnBits ^= bit; }, [&] { p->enemyPawnBits ^= bit; });
  expectCaught("the key", [&] { p->key ^= 1; }, [&] { p->key ^= 1; });
  // the key is checked only when asked for
  p->key ^= 1;
  EXPECT_TRUE(boardIsOk(p, false));
  p->key ^= 1;
}

TEST(GameRecord, AKnightDanceRepeatsTheStartThreeTimes) {
  initEngineCore();
  ASSERT_EQ(parseFen(nullptr), 0);
  ASSERT_EQ(setupPosition(&rootPosition, &gameRecord), 0);
  const uint64_t start = rootPosition.key;
  EXPECT_EQ(keySightings(&gameRecord, start), 1);
  const char *dance[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (int round = 2; round <= 3; round++) {
    for (const char *m : dance) ASSERT_EQ(playGameMove(word(m)), 0) << m;
    EXPECT_EQ(rootPosition.key, start);
    EXPECT_EQ(keySightings(&gameRecord, start), round);
  }
  // a pawn move starts the count afresh
  ASSERT_EQ(playGameMove(word("e2e4")), 0);
  EXPECT_EQ(keySightings(&gameRecord, start), 0);
  EXPECT_EQ(keySightings(&gameRecord, rootPosition.key), 1);
}

}  // namespace
