// Every three-man value of the test-side solver against an independent
// tablebase's distance to mate (Debian packages gaviotatb, libgaviotatb-dev).
// Built against that library only where it was found; skipped otherwise.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/tb_solver.h"
#include "tests/tb_solver_walk.h"

#ifdef TESSEL_HAVE_GAVIOTA
#include <gtb-probe.h>
#endif

namespace {

#ifdef TESSEL_HAVE_GAVIOTA

constexpr size_t ORACLE_CACHE_BYTES = 16u << 20;
const char ORACLE_PROBE_FILE[] = GAVIOTA_TABLE_DIR "/kqk.gtb.cp4";

// The oracle's piece codes for the solver's letters.
unsigned char oraclePiece(char letter) {
  switch (letter) {
    case 'q': return tb_QUEEN;
    case 'r': return tb_ROOK;
    case 'b': return tb_BISHOP;
    case 'n': return tb_KNIGHT;
    case 'p': return tb_PAWN;
    default: return tb_KING;
  }
}

// The oracle answers who mates and in how many plies; the solver's scale
// counts the side to move's moves: mating in p plies (odd) is (p + 1) / 2
// moves, being mated in p plies (even) is p / 2 moves, stored as -(p / 2 + 1).
int valueFromOracle(unsigned info, unsigned plies, bool whiteToMove) {
  if (info == tb_DRAW) return 0;
  bool moverMates = (info == tb_WMATE) == whiteToMove;
  return moverMates ? (int)(plies + 1) / 2 : -(int)(plies / 2) - 1;
}

class TbOracle : public ::testing::Test {
 protected:
  static const char **paths;
  static bool ready;

  static void SetUpTestSuite() {
    FILE *probe = std::fopen(ORACLE_PROBE_FILE, "rb");
    if (!probe) return;
    std::fclose(probe);
    paths = tbpaths_init();
    paths = tbpaths_add(paths, GAVIOTA_TABLE_DIR);
    tb_init(0, tb_CP4, paths);
    tbcache_init(ORACLE_CACHE_BYTES, 0);
    ready = (tb_availability() & 1) != 0;
  }

  static void TearDownTestSuite() {
    if (!paths) return;
    tbcache_done();
    tb_done();
    paths = tbpaths_done(paths);
  }

  void SetUp() override {
    if (!ready)
      GTEST_SKIP() << "independent tablebase files not installed (" << ORACLE_PROBE_FILE
                   << "; Debian package gaviotatb)";
  }

  // Compares every legal position of a three-man table (White has the man).
  static void compareTable(const char *signature) {
    const SolverTable *t = solveTable(signature);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(solverSideMen(t, true), 2);
    ASSERT_EQ(solverSideMen(t, false), 1);
    const unsigned char whitePieces[3] = {tb_KING, oraclePiece(signature[1]), tb_NOPIECE};
    const unsigned char blackPieces[2] = {tb_KING, tb_NOPIECE};
    long compared = 0, mismatched = 0, decisive = 0;
    tbwalk::forEachPosition(t, [&](const int *w, const int *b, bool wtm) {
      int v = solverValue(t, w, b, wtm);
      if (v == SOLVER_ILLEGAL) return;
      const unsigned whiteSquares[3] = {(unsigned)w[0], (unsigned)w[1], tb_NOSQUARE};
      const unsigned blackSquares[2] = {(unsigned)b[0], tb_NOSQUARE};
      unsigned info = 0, plies = 0;
      bool found = tb_probe_hard(wtm ? tb_WHITE_TO_MOVE : tb_BLACK_TO_MOVE, tb_NOSQUARE,
                                 tb_NOCASTLE, whiteSquares, blackSquares, whitePieces,
                                 blackPieces, &info, &plies) != 0;
      int expected = found ? valueFromOracle(info, plies, wtm) : SOLVER_ILLEGAL;
      if (v != expected && mismatched++ < 5)
        ADD_FAILURE() << signature << " K" << w[0] << " " << w[1] << " k" << b[0]
                      << (wtm ? " wtm" : " btm") << ": solver " << v << ", oracle " << expected
                      << " (found " << found << " info " << info << " plies " << plies << ")";
      compared++;
      if (v != 0) decisive++;
    });
    EXPECT_EQ(mismatched, 0) << signature;
    EXPECT_GT(compared, 300000) << signature;
    EXPECT_GT(decisive, 0) << signature;
    std::printf("%s: %ld legal positions compared, %ld decisive\n", signature, compared, decisive);
  }
};

const char **TbOracle::paths = nullptr;
bool TbOracle::ready = false;

TEST_F(TbOracle, QueenEndgameMatches) { compareTable("kqk"); }
TEST_F(TbOracle, RookEndgameMatches) { compareTable("krk"); }
TEST_F(TbOracle, PawnEndgameMatches) { compareTable("kpk"); }

#else

TEST(TbOracle, NotBuilt) {
  GTEST_SKIP() << "independent tablebase library or header not found when configuring "
                  "(Debian packages gaviotatb, libgaviotatb-dev)";
}

#endif

}  // namespace
