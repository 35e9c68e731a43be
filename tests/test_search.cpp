// Node search and searching one move: mate and stalemate scores, known forced
// mates checked against an independent mate finder, legality of every reported
// variation, and the clean state after a search (no locked table entry, no
// save slot held).
#include <algorithm>
#include <gtest/gtest.h>

#include "engine/board/moves/attacks.h"
#include "engine/board/moves/legal_moves.h"
#include "engine/eval/save_slots.h"
#include "engine/search/root/control.h"
#include "engine/search/search.h"
#include "engine/search/search_move.h"
#include "module/reports.h"
#include "tests/search_harness.h"

using namespace harness;

namespace {

struct Reported {
  int depth, score;
  std::vector<Move> line;
};
std::vector<Reported> reports;

void capturePv(int, int depth, int score, int, int, const Move *pv, int) {
  Reported r{depth, score, {}};
  for (int i = 0; i < PV_LENGTH && moveFrom(pv[i]) != NO_SQUARE; i++) r.line.push_back(pv[i]);
  reports.push_back(r);
}

class SearchTest : public testing::Test {
 protected:
  void SetUp() override {
    initOnce();
    reports.clear();
    callbacks = EngineCallbacks{};
    pvHook = nullptr;
    currentMoveHook = nullptr;
    tablebaseHook = nullptr;
    nodeHook = nullptr;
    clearHash(&hashTable);
  }
  void TearDown() override {
    callbacks = EngineCallbacks{};
    pvHook = nullptr;
    tablebaseHook = nullptr;
  }
  void expectCleanState() {
    EXPECT_EQ(lockedEntries(), 0) << "a table entry is still locked";
    EXPECT_TRUE(allSaveSlotsFree()) << saveSlotsInUse() << " save slots held";
  }
};

TEST_F(SearchTest, MateInOneScores9997WithTheMatingMoveFirst) {
  // back-rank mate Ra8#
  ASSERT_TRUE(setFen("6k1/5ppp/8/8/8/8/8/R5K1 w - -"));
  Result r = searchRoot(4);
  EXPECT_EQ(r.score, 9997);
  EXPECT_EQ(r.pv[0], mv("a1a8"));
  expectCleanState();

  // Qxf7# in the opening
  ASSERT_TRUE(setFen("r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq -"));
  r = searchRoot(4);
  EXPECT_EQ(r.score, 9997);
  EXPECT_EQ(r.pv[0], mv("h5f7"));
  expectCleanState();

  // Black mates too: ...Qh4# after f3 g4
  ASSERT_TRUE(setFen("rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq -"));
  r = searchRoot(4);
  EXPECT_EQ(r.score, 9997);
  EXPECT_EQ(r.pv[0], mv("d8h4"));
  expectCleanState();
}

TEST_F(SearchTest, MateInTwoScores9995) {
  // 1.Kb6 Kb8 2.Rh8# (no mate in one: Rh8+ Ka7)
  ASSERT_TRUE(setFen("k7/8/2K5/8/8/8/8/7R w - -"));
  ASSERT_EQ(mateDistance(&rootPosition, 2), 2);
  // the quiet king march is reduced: the selective search needs six plies
  Result r = searchRoot(7);
  EXPECT_EQ(r.score, 9995);
  std::string why;
  EXPECT_TRUE(lineIsLegal(&rootPosition, r.pv, &why)) << why;
  expectCleanState();
}

TEST_F(SearchTest, CheckmatedAndStalematedRoots) {
  ASSERT_TRUE(setFen("7k/6Q1/6K1/8/8/8/8/8 b - -"));
  ASSERT_TRUE(legalMoves(&rootPosition).empty());
  Result r = searchRoot(4);
  EXPECT_EQ(r.score, -9998);
  expectCleanState();

  ASSERT_TRUE(setFen("7k/5Q2/6K1/8/8/8/8/8 b - -"));
  ASSERT_TRUE(legalMoves(&rootPosition).empty());
  r = searchRoot(4);
  EXPECT_EQ(r.score, 0);
  expectCleanState();

  // white to move, stalemated by a pawn and king
  ASSERT_TRUE(setFen("8/8/8/8/8/1k6/p7/K7 w - -"));
  ASSERT_TRUE(legalMoves(&rootPosition).empty());
  EXPECT_EQ(searchRoot(3).score, 0);
}

TEST_F(SearchTest, KnownMatesAreFoundAtTheirDistance) {
  // Each forced-mate distance is confirmed by the exhaustive mate finder
  // (legal moves from the generator and make-move only); the search must
  // report exactly 9999 - 2n, or no mate within three moves where n is 0.
  struct Case {
    const char *fen;
    int moves;
  } cases[] = {
      {"k7/8/1K6/8/8/8/8/7R w - -", 1},                      // Rh8#
      {"6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - -", 1},              // Rd8#
      {"7k/8/5K2/8/8/8/8/6Q1 w - -", 1},                     // Qg7#
      {"k7/8/2K5/8/8/8/8/7R w - -", 2},                      // Kb6 Kb8 Rh8#
      {"r6k/6pp/8/8/8/8/1Q4PP/1R4K1 w - -", 2},              // Qb8+ Rxb8 Rxb8#
      {"k7/8/8/8/8/8/6R1/5RK1 w - -", 2},                    // the rook ladder
      {"r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq -", 3},
      {"5rk1/5ppp/8/8/8/8/5PPP/2RR2K1 w - -", 0},            // ...h6 gives air
      {"6k1/pp4pp/8/8/8/8/PP3PPP/3R2K1 b - -", 0},
  };
  for (const Case &c : cases) {
    ASSERT_TRUE(setFen(c.fen)) << c.fen;
    ASSERT_EQ(mateDistance(&rootPosition, 3), c.moves) << c.fen;
    Result r = searchRoot(std::max(2 * c.moves + 3, 6));
    if (c.moves > 0) {
      EXPECT_EQ(r.score, MATE_SCORE - 2 * c.moves) << c.fen;
    } else {
      EXPECT_LT(r.score, MATE_SCORE - 6) << c.fen;
    }
    std::string why;
    EXPECT_TRUE(lineIsLegal(&rootPosition, r.pv, &why)) << c.fen << ": " << why;
    expectCleanState();
  }
}

TEST_F(SearchTest, EveryReportedVariationIsLegal) {
  const char *fens[] = {
      "r1bqkbnr/pppp1ppp/2n5/4p3/3PP3/5N2/PPP2PPP/RNBQKB1R b KQkq d3",  // e.p. square set
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
      "8/8/4k3/8/2p5/8/B2K4/8 w - -",
      "6k1/5p2/6p1/8/7P/8/5PK1/8 w - -",
      "4k3/8/8/8/8/8/4P3/4K3 w - -",
      "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -",                                  // promotions both ways
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
      "8/P1k5/K7/8/8/8/8/8 w - -",
      "8/8/1k6/8/2pP4/8/8/4K3 b - d3",                                        // e.p. in a pawn ending
  };
  callbacks.reportPv = capturePv;
  pvHook = sendPv;
  for (const char *fen : fens) {
    ASSERT_TRUE(setFen(fen)) << fen;
    reports.clear();
    Result r = searchRoot(8);
    EXPECT_GT(reports.size(), 0u) << fen;
    for (const Reported &rep : reports) {
      EXPECT_GT(rep.depth, 3) << "no line is reported from the root below depth 4";
      Move line[PV_LENGTH];
      for (int i = 0; i < PV_LENGTH; i++) line[i] = i < (int)rep.line.size() ? rep.line[i] : NO_MOVE;
      std::string why;
      EXPECT_TRUE(lineIsLegal(&rootPosition, line, &why)) << fen << " depth " << rep.depth << ": " << why;
    }
    std::string why;
    EXPECT_TRUE(lineIsLegal(&rootPosition, r.pv, &why)) << fen << ": " << why;
    EXPECT_GT(r.score, -9000) << fen;
    expectCleanState();
  }
}

TEST_F(SearchTest, BoardIsRestoredExactlyAfterASearch) {
  // Captures, promotions, castling and pawn moves re-prepare children in save
  // slots; afterwards every prepared table, piece record and list-head table
  // must be as it was before the search.
  const char *fens[] = {
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
      "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
  };
  static Board before;
  for (const char *fen : fens) {
    ASSERT_TRUE(setFen(fen));
    prepareRoot();
    Board *b = rootPosition.pg;
    std::memcpy((void *)&before, (const void *)b, sizeof(Board));
    searchRoot(9, true, false);
    EXPECT_EQ(std::memcmp(&before.prepared, &b->prepared, sizeof b->prepared), 0) << fen;
    for (int i = 0; i < 33; i++) {
      const PieceRecord &x = before.pieces[i], &y = b->pieces[i];
      EXPECT_TRUE(x.next == y.next && x.prev == y.prev && x.square == y.square && x.colour == y.colour &&
                  x.kind == y.kind && x.value == y.value)
          << fen << " record " << i << " value " << x.value << " -> " << y.value << " square " << x.square << " -> "
          << y.square;
      // the descriptor copy, apart from the count and current value it carried
      // when it was taken (a promotion undone takes a fresh copy; neither is read)
      PieceKind dx = x.desc, dy = y.desc;
      dx.count = dy.count = 0;
      dx.currentValue = dy.currentValue = 0;
      EXPECT_EQ(std::memcmp(&dx, &dy, sizeof dx), 0) << fen << " record " << i << " descriptor";
    }
    EXPECT_EQ(std::memcmp((const void *)before.kinds, (const void *)b->kinds, sizeof b->kinds), 0) << fen;
    EXPECT_EQ(std::memcmp(before.squareArray, b->squareArray, sizeof b->squareArray), 0) << fen;
    for (int side = 0; side < 2; side++) {
      const PieceListHead &x = side ? before.black : before.white;
      const PieceListHead &y = side ? b->black : b->white;
      EXPECT_EQ(std::memcmp(x.pawnTerms, y.pawnTerms, sizeof x.pawnTerms), 0) << fen;
      EXPECT_EQ(std::memcmp(x.marks, y.marks, sizeof x.marks), 0) << fen;
      EXPECT_EQ(std::memcmp(x.pawnFileCount, y.pawnFileCount, sizeof x.pawnFileCount), 0) << fen;
    }
    EXPECT_EQ(before.material, b->material);
    EXPECT_EQ(before.menCount, b->menCount);
    EXPECT_EQ(before.drawShrink, b->drawShrink);
    EXPECT_EQ(before.kingActive, b->kingActive);
    EXPECT_EQ(before.kingZoneTable, b->kingZoneTable);
    expectCleanState();
  }
}

TEST_F(SearchTest, ExhaustedSaveSlotsSkipTheRePreparation) {
  const char *fen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
  ASSERT_TRUE(setFen(fen));
  prepareRoot();
  static Board other;
  int claimed = 0;
  while (claimSaveSlot(&other) >= 0) claimed++;
  EXPECT_EQ(claimed, MAX_SP);
  Result r = searchRoot(8, true, false);
  EXPECT_EQ(saveSlotsInUse(), MAX_SP) << "the search must neither take nor free a slot it did not claim";
  std::string why;
  EXPECT_TRUE(lineIsLegal(&rootPosition, r.pv, &why)) << why;
  releaseAllSaveSlots();
  EXPECT_TRUE(allSaveSlotsFree());
}

TEST_F(SearchTest, BetaAtOrBelowTheMatedScoreReturnsAtOnce) {
  ASSERT_TRUE(setFen(nullptr));
  prepareRoot();
  currentDepth = 2;
  alignas(4) Move killers[2] = {NO_MOVE, NO_MOVE};
  Move lines[2] = {NO_MOVE, NO_MOVE};
  Move pv[PV_LENGTH] = {NO_MOVE};
  int64_t before = gameBoard.nodeCount;
  EXPECT_EQ(search(&rootPosition, 2, -9998, -9999, killers, pv, &lines[0]), -9998);
  EXPECT_EQ(gameBoard.nodeCount, before);
  unmarkHistoryInHash(&hashTable);
  expectCleanState();
}

TEST_F(SearchTest, RepeatingAGamePositionScoresADraw) {
  // A queen down, White can only save itself by returning to a position of the game.
  const char *fen = "1q5k/8/8/8/8/8/8/6K1 w - -";
  ASSERT_TRUE(setFen(fen));
  Result lost = searchRoot(6);
  EXPECT_LT(lost.score, -300);
  ASSERT_TRUE(setFen(fen));
  for (const char *m : {"g1f1", "b8c8", "f1g1", "c8b8"}) {
    ASSERT_EQ(playGameMove(mv(m)), 0);
    ASSERT_FALSE(kingAttacked(&rootPosition, -rootPosition.side)) << m;
  }
  Result r = searchRoot(6);
  EXPECT_EQ(r.score, 0);
  EXPECT_EQ(r.pv[0], mv("g1f1"));
  expectCleanState();
}

struct CurrentMove {
  int depth;
  Move move;
  int code;
};
std::vector<CurrentMove> currentMoves;
void captureCurrentMove(int depth, Move move, int code, int) { currentMoves.push_back({depth, move, code}); }

TEST_F(SearchTest, CurrentMoveReportsFromDepthTen) {
  ASSERT_TRUE(setFen("r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -"));
  std::vector<Move> legal = legalMoves(&rootPosition);
  callbacks.reportCurrentMove = captureCurrentMove;
  currentMoveHook = sendCurrentMove;
  currentMoves.clear();
  searchRoot(11);
  currentMoveHook = nullptr;
  ASSERT_GT(currentMoves.size(), 0u);
  std::vector<Move> seenAtDepth;
  int lastDepth = 0;
  for (const CurrentMove &c : currentMoves) {
    EXPECT_GE(c.depth, 10);
    if (c.depth != lastDepth) seenAtDepth.clear();
    lastDepth = c.depth;
    EXPECT_NE(std::find(legal.begin(), legal.end(), c.move), legal.end()) << "not a legal root move";
    bool before = std::find(seenAtDepth.begin(), seenAtDepth.end(), c.move) != seenAtDepth.end();
    if (c.code & 0x80) {
      EXPECT_TRUE(before) << "a re-search of a move that was not searched yet";
    }
    EXPECT_EQ(c.code & ~0x80, 0) << "no special moves here";
    seenAtDepth.push_back(c.move);
  }
  expectCleanState();
}

TEST_F(SearchTest, FixedDepthSearchIsDeterministic) {
  const char *fen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
  ASSERT_TRUE(setFen(fen));
  clearHash(&hashTable);
  Result a = searchRoot(6);
  ASSERT_TRUE(setFen(fen));
  clearHash(&hashTable);
  Result b = searchRoot(6);
  EXPECT_EQ(a.nodes, b.nodes);
  EXPECT_EQ(a.score, b.score);
  EXPECT_EQ(a.pv[0], b.pv[0]);
}

TEST_F(SearchTest, ExcludedRootMoveIsNeverChosen) {
  // The only mate is excluded: the search must find something else.
  ASSERT_TRUE(setFen("6k1/5ppp/8/8/8/8/8/R5K1 w - -"));
  prepareRoot();
  currentDepth = 4;
  lastScore = -9999;
  alignas(4) Move killers[2] = {NO_MOVE, NO_MOVE};
  Move lines[2] = {NO_MOVE, mv("a1a8")};
  Move pv[PV_LENGTH] = {NO_MOVE};
  int score = search(&rootPosition, 4, MATE_SCORE, -9999, killers, pv, &lines[1]);
  unmarkHistoryInHash(&hashTable);
  EXPECT_LT(score, 9000);
  EXPECT_NE(pv[0], mv("a1a8"));
  expectCleanState();
}

int fakeProbeCalls = 0;
int fakeValue = 0;
int fakeProbe(const ProbeBoard *, int, int, int *value) {
  fakeProbeCalls++;
  *value = fakeValue;
  return 1;
}

TEST_F(SearchTest, TablebaseHitsScoreAndAMissingCallbackIsSafe) {
  // Without a probe callback the hook answers a miss and the search goes on.
  tbMenLimit = 5;
  tablebaseHook = sendTablebaseProbe;
  ASSERT_TRUE(setFen("8/8/8/8/8/2k5/8/K6Q w - -"));
  Result r = searchRoot(10);
  EXPECT_GT(r.score, 100);
  expectCleanState();

  // A probe that calls every position a draw makes every deep move score 0.
  callbacks.probeTablebase = fakeProbe;
  fakeProbeCalls = 0;
  fakeValue = 0;
  ASSERT_TRUE(setFen("8/8/8/8/8/2k5/8/K6Q w - -"));
  clearHash(&hashTable);
  r = searchRoot(10);
  EXPECT_GT(fakeProbeCalls, 0);
  EXPECT_EQ(r.score, 0);
  expectCleanState();

  // Every root move probed at depth 9: "the side to move is mated in one"
  // (-2) for each child is a mate in two for the root, 9995; a win in one for
  // the child (+1) means the root is mated two plies down, -9996.
  fakeValue = -2;
  ASSERT_TRUE(setFen("8/8/8/8/8/2k5/8/K6Q w - -"));
  clearHash(&hashTable);
  EXPECT_EQ(searchRoot(9).score, 9995);
  fakeValue = 1;
  ASSERT_TRUE(setFen("8/8/8/8/8/2k5/8/K6Q w - -"));
  clearHash(&hashTable);
  EXPECT_EQ(searchRoot(9).score, -9996);
  expectCleanState();
  tbMenLimit = 0;
}

TEST_F(SearchTest, StopFlagUnwindsCleanly) {
  ASSERT_TRUE(setFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -"));
  nodeHook = [] {
    if (gameBoard.nodeCount > 20000) stopFlag.store(1);
  };
  searchRoot(12);
  nodeHook = nullptr;
  stopFlag.store(0);
  expectCleanState();
}

}  // namespace
