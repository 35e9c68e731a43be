#include "tablebases/index_tables.h"

// Rows run a1..h1, a2..h2, ... a8..h8.
const int32_t mirrorFile[TB_SQUARES] = {
    0, 0, 0, 0, 7, 7, 7, 7,
    0, 0, 0, 0, 7, 7, 7, 7,
    0, 0, 0, 0, 7, 7, 7, 7,
    0, 0, 0, 0, 7, 7, 7, 7,
    0, 0, 0, 0, 7, 7, 7, 7,
    0, 0, 0, 0, 7, 7, 7, 7,
    0, 0, 0, 0, 7, 7, 7, 7,
    0, 0, 0, 0, 7, 7, 7, 7,
};

const int32_t invertRank[2] = {0, 56};

const uint32_t quadrantXor[TB_SQUARES] = {
    0, 0, 0, 0, 7, 7, 7, 7,
    0, 0, 0, 0, 7, 7, 7, 7,
    0, 0, 0, 0, 7, 7, 7, 7,
    0, 0, 0, 0, 7, 7, 7, 7,
    56, 56, 56, 56, 63, 63, 63, 63,
    56, 56, 56, 56, 63, 63, 63, 63,
    56, 56, 56, 56, 63, 63, 63, 63,
    56, 56, 56, 56, 63, 63, 63, 63,
};

const uint8_t diagonalFlags[3][TB_SQUARES] = {
    {
        1, 1, 1, 1, 0, 0, 0, 0,
        0, 1, 1, 1, 0, 0, 0, 0,
        0, 0, 1, 1, 0, 0, 0, 0,
        0, 0, 0, 1, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {
        0, 1, 1, 1, 1, 1, 1, 1,
        1, 0, 1, 1, 1, 1, 1, 1,
        1, 1, 0, 1, 1, 1, 1, 1,
        1, 1, 1, 0, 1, 1, 1, 1,
        1, 1, 1, 1, 0, 1, 1, 1,
        1, 1, 1, 1, 1, 0, 1, 1,
        1, 1, 1, 1, 1, 1, 0, 1,
        1, 1, 1, 1, 1, 1, 1, 0,
    },
    {
        1, 1, 1, 1, 1, 1, 1, 1,
        0, 1, 1, 1, 1, 1, 1, 1,
        0, 0, 1, 1, 1, 1, 1, 1,
        0, 0, 0, 1, 1, 1, 1, 1,
        0, 0, 0, 0, 1, 1, 1, 1,
        0, 0, 0, 0, 0, 1, 1, 1,
        0, 0, 0, 0, 0, 0, 1, 1,
        0, 0, 0, 0, 0, 0, 0, 1,
    },
};

const int32_t transposeSquare[TB_SQUARES] = {
    0, 8, 16, 24, 32, 40, 48, 56,
    1, 9, 17, 25, 33, 41, 49, 57,
    2, 10, 18, 26, 34, 42, 50, 58,
    3, 11, 19, 27, 35, 43, 51, 59,
    4, 12, 20, 28, 36, 44, 52, 60,
    5, 13, 21, 29, 37, 45, 53, 61,
    6, 14, 22, 30, 38, 46, 54, 62,
    7, 15, 23, 31, 39, 47, 55, 63,
};

namespace {

constexpr bool kingsApart(int a, int b) {
  const int df = (a & 7) - (b & 7);
  const int dr = (a >> 3) - (b >> 3);
  return df > 1 || df < -1 || dr > 1 || dr < -1;
}

struct KingPairTable {
  int16_t v[TB_SQUARES][TB_SQUARES];
};

// Valid pairs are numbered in ascending order of the mover's king, then of
// the other king; the kings never touch. With pawns the mover's king stands on
// files a-d. Pawnless it stands in the triangle a1-d1-d4 and, when it is on
// the diagonal, the other king stands on or below the diagonal.
constexpr KingPairTable buildKingPairs(bool pawns) {
  KingPairTable t{};
  int next = 0;
  for (int a = 0; a < TB_SQUARES; a++) {
    for (int b = 0; b < TB_SQUARES; b++) {
      const int fa = a & 7, ra = a >> 3;
      bool ok = kingsApart(a, b) && fa <= 3;
      if (!pawns) ok = ok && ra <= fa && (fa != ra || (b & 7) >= (b >> 3));
      t.v[a][b] = ok ? static_cast<int16_t>(next++) : TB_NO_PAIR;
    }
  }
  return t;
}

constexpr KingPairTable kPawnlessPairs = buildKingPairs(false);
constexpr KingPairTable kPawnPairs = buildKingPairs(true);
static_assert(kPawnlessPairs.v[27][63] == TB_PAIRS_PAWNLESS - 1, "462 pawnless king pairs");
static_assert(kPawnPairs.v[59][63] == TB_PAIRS_PAWNS - 1, "1806 king pairs with pawns");

}  // namespace

const int16_t (&kkIndexPawnless)[TB_SQUARES][TB_SQUARES] = kPawnlessPairs.v;
const int16_t (&kkIndexPawns)[TB_SQUARES][TB_SQUARES] = kPawnPairs.v;
