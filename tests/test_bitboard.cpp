#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "engine/board/tables/bitboard.h"
#include "engine/board/tables/piece_types.h"

// Every expectation here is computed independently from files and ranks, so a
// wrong table entry or a bad multiplier cannot agree with it by construction.
namespace {

int bitSq(const char *name) { return (name[1] - '1') * 8 + (name[0] - 'a'); }
uint64_t bb(const char *name) { return 1ULL << bitSq(name); }
bool inside(int f, int r) { return f >= 0 && f < 8 && r >= 0 && r < 8; }

const int kRookLines[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
const int kBishopLines[4][2] = {{1, 1}, {-1, -1}, {-1, 1}, {1, -1}};

uint64_t walk(int sq, uint64_t occ, const int lines[4][2]) {
  uint64_t a = 0;
  for (int d = 0; d < 4; d++) {
    for (int f = sq % 8 + lines[d][0], r = sq / 8 + lines[d][1]; inside(f, r); f += lines[d][0], r += lines[d][1]) {
      a |= 1ULL << (8 * r + f);
      if (occ >> (8 * r + f) & 1) break;
    }
  }
  return a;
}

uint64_t rng = 0x9E3779B97F4A7C15ULL;
uint64_t rand64() {  // splitmix64
  uint64_t z = (rng += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

class Bitboards : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { initBitboards(); }
};

TEST_F(Bitboards, SlidersMatchRayWalkOnRandomOccupancies) {
  for (int sq = 0; sq < 64; sq++) {
    for (int i = 0; i < 3000; i++) {
      // Sparse, medium and dense boards.
      uint64_t occ = rand64();
      if (i % 3 == 0) occ &= rand64() & rand64();
      if (i % 3 == 1) occ &= rand64();
      ASSERT_EQ(rookAttacks(sq, occ), walk(sq, occ, kRookLines)) << "rook sq " << sq << " occ " << occ;
      ASSERT_EQ(bishopAttacks(sq, occ), walk(sq, occ, kBishopLines)) << "bishop sq " << sq << " occ " << occ;
      ASSERT_EQ(queenAttacks(sq, occ), walk(sq, occ, kRookLines) | walk(sq, occ, kBishopLines));
    }
    ASSERT_EQ(rookAttacks(sq, 0), walk(sq, 0, kRookLines));
    ASSERT_EQ(rookAttacks(sq, ~0ULL), walk(sq, ~0ULL, kRookLines));
    ASSERT_EQ(bishopAttacks(sq, 0), walk(sq, 0, kBishopLines));
    ASSERT_EQ(bishopAttacks(sq, ~0ULL), walk(sq, ~0ULL, kBishopLines));
  }
}

// The OR-fill hides a multiplier that merges two subsets with different attack
// sets; only trying every subset finds it. Cheap enough for every square.
TEST_F(Bitboards, SlidersMatchRayWalkOnEverySubset) {
  for (int sq = 0; sq < 64; sq++) {
    for (int kind = 0; kind < 2; kind++) {
      uint64_t mask = kind ? bishopMask[sq] : rookMask[sq];
      const int(*lines)[2] = kind ? kBishopLines : kRookLines;
      uint64_t sub = 0;
      long n = 0;
      do {
        uint64_t noise = rand64() & ~mask;  // squares outside the mask never matter
        uint64_t got = kind ? bishopAttacks(sq, sub | noise) : rookAttacks(sq, sub | noise);
        ASSERT_EQ(got, walk(sq, sub, lines)) << (kind ? "bishop" : "rook") << " sq " << sq << " subset " << sub;
        n++;
        sub = (sub - mask) & mask;
      } while (sub);
      EXPECT_EQ(n, 1L << (kind ? bishopBits[sq] : rookBits[sq]));
    }
  }
}

TEST_F(Bitboards, SliderEdgeCases) {
  uint64_t a1 = rookAttacks(bitSq("a1"), 0);
  EXPECT_EQ(bitCount(a1), 14);
  EXPECT_EQ(a1, (0x0101010101010101ULL | 0xFFULL) & ~bb("a1"));
  EXPECT_EQ(rookAttacks(bitSq("a1"), bb("b1") | bb("a2")), bb("b1") | bb("a2"));

  uint64_t d4 = bishopAttacks(bitSq("d4"), bb("c5") | bb("f6"));
  EXPECT_TRUE(d4 & bb("c5"));
  EXPECT_TRUE(d4 & bb("e5"));
  EXPECT_TRUE(d4 & bb("f6"));
  EXPECT_FALSE(d4 & bb("b6"));
  EXPECT_FALSE(d4 & bb("g7"));
}

TEST_F(Bitboards, TableSizesAndBlocks) {
  long rookTotal = 0, bishopTotal = 0;
  for (int sq = 0; sq < 64; sq++) {
    int f = sq % 8, r = sq / 8;
    int edges = (f == 0 || f == 7) + (r == 0 || r == 7);
    EXPECT_EQ(rookBits[sq], edges == 2 ? 12 : edges == 1 ? 11 : 10) << sq;
    EXPECT_EQ(rookOffset[sq], rookTotal);
    EXPECT_EQ(bishopOffset[sq], bishopTotal);
    rookTotal += 1L << rookBits[sq];
    bishopTotal += 1L << bishopBits[sq];
    EXPECT_EQ(bitCount(rookMask[sq]), rookBits[sq]);
    EXPECT_EQ(bitCount(bishopMask[sq]), bishopBits[sq]);
    // Masks: the lines without the square itself and without the last square.
    uint64_t rookLines = walk(sq, 0, kRookLines), bishopLines = walk(sq, 0, kBishopLines);
    EXPECT_EQ(rookMask[sq] & ~rookLines, 0u);
    EXPECT_EQ(bishopMask[sq] & ~bishopLines & 0x007E7E7E7E7E7E00ULL, 0u);
    EXPECT_EQ(bishopMask[sq], bishopLines & 0x007E7E7E7E7E7E00ULL) << sq;
  }
  EXPECT_EQ(rookTotal, 102400);
  EXPECT_EQ(bishopTotal, 5248);
  EXPECT_EQ(sizeof rookAtts / sizeof rookAtts[0], 102400u);
  EXPECT_EQ(sizeof bishopAtts / sizeof bishopAtts[0], 5248u);
  // The bishop counts by square as listed: corners, edges, rings, centre.
  const char *nine[] = {"d4", "e4", "d5", "e5"};
  for (const char *s : nine) EXPECT_EQ(bishopBits[bitSq(s)], 9) << s;
  const char *seven[] = {"c3", "f3", "c6", "f6", "c4", "f4", "c5", "f5", "d3", "e6"};
  for (const char *s : seven) EXPECT_EQ(bishopBits[bitSq(s)], 7) << s;
  const char *five[] = {"b1", "h4", "b2", "g7", "b3", "g6", "b5"};
  for (const char *s : five) EXPECT_EQ(bishopBits[bitSq(s)], 5) << s;
  const char *six[] = {"a1", "h1", "a8", "h8"};
  for (const char *s : six) EXPECT_EQ(bishopBits[bitSq(s)], 6) << s;
}

TEST_F(Bitboards, GivenMultipliersAreKept) {
  EXPECT_EQ(rookMagic[bitSq("a1")], 0x80004000976080ULL);
  EXPECT_EQ(rookMagic[bitSq("b1")], 0x1040400010002000ULL);
  EXPECT_EQ(rookMagic[bitSq("h8")], 0x1001040311802142ULL);
  EXPECT_EQ(bishopMagic[bitSq("a1")], 0x1024b002420160ULL);
  EXPECT_EQ(bishopMagic[bitSq("b1")], 0x1008080140420021ULL);
  EXPECT_EQ(bishopMagic[bitSq("h8")], 0x10140848044010ULL);
}

// Set of squares reached by single steps (df, dr) from sq.
uint64_t leaps(int sq, const int steps[8][2]) {
  uint64_t a = 0;
  for (int i = 0; i < 8; i++) {
    int f = sq % 8 + steps[i][0], r = sq / 8 + steps[i][1];
    if (inside(f, r)) a |= 1ULL << (8 * r + f);
  }
  return a;
}

TEST_F(Bitboards, LeaperAndPawnAttacks) {
  const int knight[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
  const int king[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
  const int whitePawn[8][2] = {{-1, 1}, {1, 1}, {9, 9}, {9, 9}, {9, 9}, {9, 9}, {9, 9}, {9, 9}};
  const int blackPawn[8][2] = {{-1, -1}, {1, -1}, {9, 9}, {9, 9}, {9, 9}, {9, 9}, {9, 9}, {9, 9}};
  for (int sq = 0; sq < 64; sq++) {
    EXPECT_EQ(knightAttacks[sq], leaps(sq, knight)) << sq;
    EXPECT_EQ(kingAttacks[sq], leaps(sq, king)) << sq;
    EXPECT_EQ(whitePawnAttacks[sq], leaps(sq, whitePawn)) << sq;
    EXPECT_EQ(blackPawnAttacks[sq], leaps(sq, blackPawn)) << sq;
  }
  EXPECT_EQ(whitePawnAttacks[bitSq("a2")], bb("b3"));
  EXPECT_EQ(whitePawnAttacks[bitSq("h7")], bb("g8"));
  EXPECT_EQ(blackPawnAttacks[bitSq("a7")], bb("b6"));
  EXPECT_EQ(bitCount(knightAttacks[bitSq("a1")]), 2);
  EXPECT_EQ(bitCount(knightAttacks[bitSq("d4")]), 8);
}

TEST_F(Bitboards, RaysAndCouldAttack) {
  // Ray order: east, west, north, south, north-east, south-west, north-west, south-east.
  const int lines[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {-1, 1}, {1, -1}};
  for (int sq = 0; sq < 64; sq++) {
    for (int i = 0; i < 8; i++) {
      uint64_t ray = 0;
      for (int f = sq % 8 + lines[i][0], r = sq / 8 + lines[i][1]; inside(f, r); f += lines[i][0], r += lines[i][1])
        ray |= 1ULL << (8 * r + f);
      EXPECT_EQ(rays[i][sq], ray) << "ray " << i << " sq " << sq;
    }
    for (int from = 0; from < 64; from++) {
      int df = std::abs(from % 8 - sq % 8), dr = std::abs(from / 8 - sq / 8);
      bool reach = from != sq && (df == 0 || dr == 0 || df == dr || df * dr == 2);
      EXPECT_EQ((couldAttack[sq] >> from & 1) != 0, reach) << "to " << sq << " from " << from;
    }
  }
}

TEST_F(Bitboards, SquareBitTables) {
  for (int s = 0; s < 120; s++) {
    if (onBoard(s)) {
      uint64_t bit = 1ULL << (8 * rankOf(s) + fileOf(s));
      EXPECT_EQ(squareBit88[s], bit);
      EXPECT_EQ(notSquareBit88[s], ~bit);
    } else {
      EXPECT_EQ(squareBit88[s], 0u) << s;
      EXPECT_EQ(notSquareBit88[s], ~0ULL) << s;
    }
  }
  for (int b = 0; b < 64; b++) {
    EXPECT_EQ(squareBit[b], 1ULL << b);
    EXPECT_EQ(notSquareBit[b], ~(1ULL << b));
    EXPECT_EQ(sq88To64[sq64To88[b]], b);
    EXPECT_EQ(sq64To88[b], 16 * (b / 8) + b % 8);
  }
  for (int s = 0; s < 128; s++) {
    if (!onBoard(s)) {
      EXPECT_EQ(sq88To64[s], -1) << s;
    }
  }
}

// A second initialisation must leave every table as it was.
TEST_F(Bitboards, InitialisationIsIdempotent) {
  std::vector<uint64_t> rook(rookAtts, rookAtts + 102400), bishop(bishopAtts, bishopAtts + 5248);
  uint64_t could = couldAttack[27], mask = rookMask[0];
  initBitboards();
  initBitboards();
  EXPECT_EQ(std::memcmp(rook.data(), rookAtts, sizeof rookAtts), 0);
  EXPECT_EQ(std::memcmp(bishop.data(), bishopAtts, sizeof bishopAtts), 0);
  EXPECT_EQ(couldAttack[27], could);
  EXPECT_EQ(rookMask[0], mask);
  EXPECT_EQ(rookAttacks(0, bb("a4")), walk(0, bb("a4"), kRookLines));
}

TEST(Geometry, EdgeBlockedMatchesFileAndRank) {
  struct Step {
    int step, df, dr;
  } steps[] = {{1, 1, 0},   {-1, -1, 0}, {8, 0, 1},   {-8, 0, -1}, {9, 1, 1},    {-9, -1, -1},
               {7, -1, 1},  {-7, 1, -1}, {6, -2, 1},  {-6, 2, -1}, {10, 2, 1},   {-10, -2, -1},
               {15, -1, 2}, {-15, 1, -2}, {17, 1, 2}, {-17, -1, -2}};
  for (const Step &s : steps) {
    uint64_t want = 0;
    for (int b = 0; b < 64; b++)
      if (!inside(b % 8 + s.df, b / 8 + s.dr)) want |= 1ULL << b;
    EXPECT_EQ(edgeBlocked(s.step), want) << "step " << s.step;
  }
  EXPECT_EQ(edgeBlocked(9), 0xFF00000000000000ULL | 0x8080808080808080ULL);
  EXPECT_EQ(edgeBlocked(15), 0xFFFF000000000000ULL | 0x0101010101010101ULL);
  // Not a bitboard step: no square may take it.
  EXPECT_EQ(edgeBlocked(16), ~0ULL);
}

TEST(GeometryDeathTest, EdgeBlockedRejectsStepsOutsideTheTable) {
  EXPECT_EXIT(edgeBlocked(18), ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(edgeBlocked(-64), ::testing::ExitedWithCode(1), "");
}

TEST(Geometry, DifferenceTablesMatchFileAndRank) {
  std::vector<bool> seen(240, false);
  for (int from = 0; from < 128; from++) {
    if (!onBoard(from)) continue;
    for (int to = 0; to < 128; to++) {
      if (!onBoard(to)) continue;
      int d = to - from;
      int df = fileOf(to) - fileOf(from), dr = rankOf(to) - rankOf(from);
      int adf = std::abs(df), adr = std::abs(dr);
      int dist = adf > adr ? adf : adr;
      bool line = d != 0 && (df == 0 || dr == 0 || adf == adr);
      bool knight = adf * adr == 2;
      int step = line ? 16 * (dr > 0 ? 1 : dr < 0 ? -1 : 0) + (df > 0 ? 1 : df < 0 ? -1 : 0) : knight ? d : 0;

      int cap = 0;
      if (line && (df == 0 || dr == 0)) cap = 4 | 2 | (dist == 1 ? 1 : 0);
      if (line && adf == adr) cap = 8 | 2 | (dist == 1 ? 1 | (dr > 0 ? 32 : 64) : 0);
      if (knight) cap = 16;

      int dir = -1;
      for (int i = 0; i < 16; i++)
        if (directionList[i] == step && step != 0) dir = i;

      seen[d + 119] = true;
      ASSERT_EQ(distanceByDifference(d), dist) << d;
      ASSERT_EQ(stepByDifference(d), step) << d;
      ASSERT_EQ(attackCapability(d), cap) << d;
      ASSERT_EQ(directionByDifference(d), dir) << d;
    }
  }
  // Differences that no two squares produce hold nothing.
  for (int i = 0; i < 240; i++) {
    if (seen[i]) continue;
    EXPECT_EQ(attackCapabilityData[i], 0) << i - 119;
    EXPECT_EQ(stepByDifferenceData[i], 0) << i - 119;
    EXPECT_EQ(directionByDifferenceData[i], -1) << i - 119;
  }
  EXPECT_EQ(directionByDifference(0), -1);
  EXPECT_TRUE(attackCapability(17) & 32);
  EXPECT_TRUE(attackCapability(-17) & 64);
  EXPECT_EQ(attackCapability(15), 43);
  EXPECT_EQ(attackCapability(-15), 75);
  EXPECT_EQ(attackCapability(1), 7);
  EXPECT_EQ(attackCapability(32), 6);
  EXPECT_EQ(attackCapability(34), 10);
  EXPECT_EQ(attackCapability(-31), 16);
}

TEST(PieceTypes, RecordsInCodeOrder) {
  const char letters[] = "kqrbnpEPNBRQK";
  const int kinds[13] = {12, 11, 10, 9, 8, 7, 6, 7, 8, 9, 10, 11, 12};
  const int mg[13] = {14000, 720, 350, 247, 225, 52, 0, 52, 225, 247, 350, 720, 14000};
  const int eg[13] = {14000, 992, 511, 319, 308, 84, 0, 84, 308, 319, 511, 992, 14000};
  const int caps[13] = {1, 2, 4, 8, 16, 64, 0, 32, 16, 8, 4, 2, 1};
  const int runs[13] = {8, 8, 4, 4, 8, 0, 0, 0, 8, 4, 4, 8, 8};
  const PieceKind *p = &PieceType[0];
  for (int c = 0; c < 13; c++, p = p->next) {
    ASSERT_EQ(p, &PieceType[c]);
    EXPECT_EQ(p->code, c);
    EXPECT_EQ(p->letter, letters[c]);
    EXPECT_EQ(p->side, c < 6 ? -1 : c > 6 ? 1 : 0);
    EXPECT_EQ(p->kind, kinds[c]);
    EXPECT_EQ(p->pieceClass, kinds[c] == KNIGHT ? 9 : kinds[c]);
    EXPECT_EQ(p->capability, caps[c]);
    EXPECT_EQ(p->middlegameValue, mg[c]);
    EXPECT_EQ(p->endgameValue, eg[c]);
    EXPECT_EQ(p->lastDirection - p->firstDirection + 1, runs[c]) << c;
    EXPECT_EQ(p->squareTable, nullptr);
    EXPECT_EQ(p->count, 0);
    EXPECT_EQ(p->currentValue, 0);
    // Every step of the run is a one-step move the kind is capable of.
    for (const int32_t *d = p->firstDirection; d <= p->lastDirection; d++) {
      ASSERT_GE(d, directionList);
      ASSERT_LT(d, directionList + 16);
      EXPECT_TRUE(attackCapability(*d) & p->capability) << "code " << c << " step " << *d;
    }
  }
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(PieceType[WHITE_ROOK].firstDirection[0], 1);
  EXPECT_EQ(PieceType[WHITE_ROOK].lastDirection[0], -16);
  EXPECT_EQ(PieceType[BLACK_BISHOP].firstDirection[0], 17);
  EXPECT_EQ(PieceType[BLACK_KNIGHT].firstDirection[0], 18);
  EXPECT_EQ(PieceType[WHITE_QUEEN].lastDirection[0], -15);
}

}  // namespace
