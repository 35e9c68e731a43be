// Legal-move counts against published perft results, by the plain generators
// and through the staged picker (every picker path must give the same count).
#include "engine/search/ordering/history.h"
#include "platform/platform.h"
#include "tests/move_helpers.h"

namespace {

perft::Stack stack;

struct Known {
  const char *fen;
  int depth;
  uint64_t nodes;
};

// Published counts of the standard test positions (shallow depths; the full
// depths run in bench/perft --suite).
const Known kKnown[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 4, 197281ULL},
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 3, 97862ULL},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", 5, 674624ULL},
    {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -", 4, 422333ULL},
    {"r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ -", 4, 422333ULL},  // position 4 mirrored
    {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -", 3, 62379ULL},
    {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -", 4, 3894594ULL},
    {"n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -", 4, 182838ULL},  // promotions
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", 3, 13744ULL},       // castling
};

uint64_t plain(const Known &k) {
  if (!perft::setUp(&stack, k.fen)) return 0;
  return perftCount(&stack.ply[0], k.depth);
}

uint64_t picker(const Known &k, perft::PickerOptions o) {
  if (!perft::setUp(&stack, k.fen)) return 0;
  return perft::countPicker(&stack.ply[0], k.depth, o);
}

TEST(Perft, PlainGeneratorsMatchPublishedCounts) {
  for (const Known &k : kKnown) EXPECT_EQ(plain(k), k.nodes) << k.fen;
}

TEST(Perft, LazyPickerMatches) {
  for (const Known &k : kKnown) EXPECT_EQ(picker(k, {false, false, false}), k.nodes) << k.fen;
}

TEST(Perft, HistorySortedPickerMatches) {
  // non-zero history and square tables so that the sort really reorders
  Rand15 r{99};
  for (int c = 0; c < 13; c++)
    for (int sq = 0; sq < 120; sq++) historyTable.counts[c][sq] = r.next() % 50 - 10;
  for (int t = 0; t < 12; t++)
    for (int sq = 0; sq < 120; sq++) gameBoard.prepared.square[t][sq] = (int16_t)(r.next() % 41 - 20);
  for (const Known &k : kKnown) EXPECT_EQ(picker(k, {true, false, false}), k.nodes) << k.fen;
  movetest::clearTables(&gameBoard);
}

TEST(Perft, PickerWithThreatTargetAndCandidatesMatches) {
  for (const Known &k : kKnown) EXPECT_EQ(picker(k, {true, true, true}), k.nodes) << k.fen;
}

TEST(Perft, DeeperEndgameCounts) {
  // position 3 one ply deeper, and the promotion position at depth 5
  EXPECT_EQ(plain({"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", 6, 11030083ULL}), 11030083ULL);
  EXPECT_EQ(picker({"n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -", 5, 3605103ULL}, {true, true, true}), 3605103ULL);
}

}  // namespace
