#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include <unistd.h>
#include <cstdlib>

#include "tablebases/enumerations.h"
#include "tablebases/index_tables.h"
#include "tablebases/tb_alloc.h"
#include "tests/tb_position.h"

using tbtest::square;

namespace {

std::string report;  // the verbose report of the first initEnumerations

class TbEnumerations : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tbVerbose = true;
    testing::internal::CaptureStdout();
    initEnumerations();
    report = testing::internal::GetCapturedStdout();
    tbVerbose = false;
  }
};

int32_t total(int variant, const char* kinds) {
  int k[3], n = 0;
  for (const char* p = kinds; *p; p++) k[n++] = static_cast<int>(std::string(TB_KIND_LETTERS).find(*p));
  return groupTotals[variant][tbGroupKey(n, k)];
}

TEST_F(TbEnumerations, OneManTotals) {
  EXPECT_EQ(total(1, "p"), 84012);
  EXPECT_EQ(total(1, "P"), 81664);
  EXPECT_EQ(total(1, "N"), 102748);
  EXPECT_EQ(total(1, "B"), 106500);
  EXPECT_EQ(total(1, "R"), 105684);
  EXPECT_EQ(total(1, "Q"), 100212);
  EXPECT_EQ(total(0, "N"), 26282);
  EXPECT_EQ(total(0, "B"), 27243);
  EXPECT_EQ(total(0, "R"), 27036);
  EXPECT_EQ(total(0, "Q"), 25635);
}

// Group totals that the index-space table of the three- and four-man tables
// and the e.p. bases of the five-man tables state.
TEST_F(TbEnumerations, GroupTotals) {
  const struct {
    const char* kinds;
    int variant;
    int32_t total;
  } kCases[] = {
      {"PP", 1, 1806671}, {"NP", 1, 4648581}, {"BP", 1, 4817128}, {"RP", 1, 4779624}, {"QP", 1, 4533584},
      {"pp", 1, 1912372}, {"NN", 0, 735304},  {"BN", 0, 1550621}, {"BB", 0, 789885},  {"RN", 0, 1538479},
      {"RB", 0, 1594560}, {"RR", 0, 777639},  {"QN", 0, 1459616}, {"QB", 0, 1512507}, {"QR", 0, 1500642},
      {"QQ", 0, 699072},
  };
  for (const auto& c : kCases) EXPECT_EQ(total(c.variant, c.kinds), c.total) << c.kinds;
  EXPECT_EQ(int64_t(total(1, "PP")) * 46, 83106866);   // "kppkp" e.p. base
  EXPECT_EQ(int64_t(total(1, "NP")) * 47, 218483307);  // "knpkp" e.p. base
  EXPECT_EQ(int64_t(total(1, "P")) * 2820, 230292480);
  // Groups that do not exist: p mixed with another kind, pawnless pawns.
  EXPECT_EQ(total(1, "Pp"), 0);
  EXPECT_EQ(total(0, "P"), 0);
  EXPECT_EQ(groupOffsets[1][tbGroupKey(2, std::array<int, 2>{kindPawn, kindOppPawn}.data())], nullptr);
}

TEST_F(TbEnumerations, CountRanges) {
  const int kLow[TB_KINDS] = {47, 45, 55, 59, 59, 55}, kHigh[TB_KINDS] = {48, 48, 61, 62, 61, 60};
  for (int kind = 0; kind < TB_KINDS; kind++) {
    int low = 64, high = 0;
    for (int k = 0; k < 64; k++) {
      low = std::min<int>(low, pieceRankCount[kind][k]);
      high = std::max<int>(high, pieceRankCount[kind][k]);
      int ranked = 0;
      for (int s = 0; s < 64; s++)
        if (pieceRank[kind][k * 64 + s] != -1) {
          EXPECT_EQ(pieceRank[kind][k * 64 + s], ranked++);
        }
      EXPECT_EQ(ranked, pieceRankCount[kind][k]);
    }
    EXPECT_EQ(low, kLow[kind]) << TB_KIND_LETTERS[kind];
    EXPECT_EQ(high, kHigh[kind]) << TB_KIND_LETTERS[kind];
  }
}

TEST_F(TbEnumerations, ContactExclusions) {
  // A white pawn on b2 with the king on a3: excluded for the mover (P), not for p.
  EXPECT_EQ(pieceRank[kindPawn][square("a3") * 64 + square("b2")], -1);
  EXPECT_NE(pieceRank[kindOppPawn][square("a3") * 64 + square("b2")], -1);
  // A mover's knight never stands a knight's move from the other king.
  EXPECT_EQ(pieceRank[kindKnight][square("e4") * 64 + square("f6")], -1);
  EXPECT_NE(pieceRank[kindKnight][square("e4") * 64 + square("f5")], -1);
  // Distant checks stay: a rook two squares away is allowed, at contact not.
  EXPECT_NE(pieceRank[kindRook][square("e4") * 64 + square("e6")], -1);
  EXPECT_EQ(pieceRank[kindRook][square("e4") * 64 + square("e5")], -1);
  EXPECT_NE(pieceRank[kindRook][square("e4") * 64 + square("f5")], -1);
  EXPECT_EQ(pieceRank[kindBishop][square("e4") * 64 + square("f5")], -1);
}

TEST_F(TbEnumerations, KingPairNumbering) {
  const struct {
    const char* king;
    int first;
  } kPawnless[] = {{"a1", 0},   {"b1", 33},  {"c1", 91},  {"d1", 149}, {"b2", 207},
                   {"c2", 237}, {"d2", 292}, {"c3", 347}, {"d3", 377}, {"d4", 432}},
    kPawns[] = {{"a1", 0}, {"b1", 60}, {"c1", 118}, {"d1", 176}, {"a2", 234}, {"d8", 1748}};
  auto firstOf = [](const int16_t(&t)[64][64], int a) {
    int first = TB_NO_PAIR;
    for (int b = 0; b < 64; b++) first = std::min<int>(first, t[a][b]);
    return first;
  };
  for (const auto& c : kPawnless) EXPECT_EQ(firstOf(kkIndexPawnless, square(c.king)), c.first) << c.king;
  for (const auto& c : kPawns) EXPECT_EQ(firstOf(kkIndexPawns, square(c.king)), c.first) << c.king;
  int pawnless = 0, pawns = 0;
  for (int a = 0; a < 64; a++)
    for (int b = 0; b < 64; b++) {
      pawnless += kkIndexPawnless[a][b] != TB_NO_PAIR;
      pawns += kkIndexPawns[a][b] != TB_NO_PAIR;
    }
  EXPECT_EQ(pawnless, TB_PAIRS_PAWNLESS);
  EXPECT_EQ(pawns, TB_PAIRS_PAWNS);
  // Diagonal kings: the other king must lie on or below the diagonal.
  EXPECT_NE(kkIndexPawnless[square("c3")][square("f6")], TB_NO_PAIR);
  EXPECT_EQ(kkIndexPawnless[square("c3")][square("e6")], TB_NO_PAIR);
  EXPECT_EQ(kkIndexPawns[square("c3")][square("d4")], TB_NO_PAIR);
  EXPECT_EQ(kkIndexPawns[square("e3")][square("a1")], TB_NO_PAIR);
}

TEST_F(TbEnumerations, FrameTables) {
  for (int s = 0; s < 64; s++) {
    const int f = s & 7, r = s >> 3;
    EXPECT_EQ(transposeSquare[transposeSquare[s]], s);
    EXPECT_EQ(transposeSquare[s], f * 8 + r);
    const int q = s ^ static_cast<int>(quadrantXor[s]);
    EXPECT_TRUE((q & 7) <= 3 && (q >> 3) <= 3) << s;
    EXPECT_EQ(mirrorFile[s], f >= 4 ? 7 : 0);
    EXPECT_EQ(diagonalFlags[0][s] != 0, f <= 3 && r <= f);
  }
}

TEST_F(TbEnumerations, VerboseReport) {
  EXPECT_EQ(report.find("p - 84012 enumerated positions\nP - 81664 enumerated positions\n"), 0u) << report;
  EXPECT_NE(report.find("\npawnless Q - 25635 enumerated positions\n"), std::string::npos);
  EXPECT_EQ(report.find("pawnless P "), std::string::npos);
  EXPECT_NE(report.find("\nPP - 1806671 enumerated positions\n"), std::string::npos);
  EXPECT_NE(report.find("\npawnless QQ - 699072 enumerated positions\n"), std::string::npos);
  EXPECT_NE(report.find("\nppp - "), std::string::npos);
  const std::string tail = "\nAllocated " + std::to_string((tbAllocatedBytes + 1023) / 1024) + "k\n\n";
  ASSERT_GE(report.size(), tail.size());
  EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
  // A second call builds nothing and prints nothing.
  const int64_t before = tbAllocatedBytes;
  testing::internal::CaptureStdout();
  initEnumerations();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(tbAllocatedBytes, before);
}

}  // namespace

namespace {

TEST(TbAlloc, FailureEndsTheProcess) {
  // 64 TB and a few bytes: more than the address space; %d prints the low word.
  const size_t bytes = (size_t(1) << 46) + 12345;
  // The child runs afresh so that a sanitizer's allocator reads this option
  // and answers the failed allocation with null, as the system allocator does.
  const char* options = getenv("ASAN_OPTIONS");
  const std::string childOptions = std::string(options ? options : "") + ":allocator_may_return_null=1";
  setenv("ASAN_OPTIONS", childOptions.c_str(), 1);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        dup2(2, 1);  // the message goes to standard output; the death test reads stderr
        tbAlloc(bytes);
      },
      testing::ExitedWithCode(1), "\\*\\*\\* Cannot allocate 12345 bytes of memory\n");
  void* p = tbAlloc(100);
  EXPECT_NE(p, nullptr);
  free(p);
}

}  // namespace
