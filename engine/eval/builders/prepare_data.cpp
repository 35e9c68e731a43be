// Constant tables of the position preparation (see prepare_data.h).
#include "engine/eval/builders/prepare_data.h"

#include "engine/board/position.h"
#include "engine/eval/prepare.h"

//                                        -  -  -  -  -  -  -  P    N    B    R    Q  K
const int32_t baseMiddlegameValue[13] = {0, 0, 0, 0, 0, 0, 0, 52, 225, 247, 350, 720, 0};
const int32_t baseEndgameValue[13] = {0, 0, 0, 0, 0, 0, 0, 84, 308, 319, 511, 992, 0};

const int32_t passedNoQueenDefault[8] = {0, 1, 1, 12, 45, 98, 153, 0};
const int32_t passedWithQueenDefault[8] = {0, 2, 2, 6, 36, 101, 158, 0};
const int32_t passedEndgameDefault[8] = {0, 8, 8, 33, 82, 87, 135, 0};

namespace {

// Rows from rank difference -7 (top of the array) to +7; columns file
// difference -7 .. +7.
constexpr int8_t CLOSENESS_CELLS[15][15] = {
    /* -7 */ {0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0},
    /* -6 */ {0, 0, 0, 0, 0, 1, 2, 2, 1, 0, 0, 0, 0, 0, 0},
    /* -5 */ {0, 0, 0, 0, 1, 2, 3, 3, 2, 1, 0, 0, 0, 0, 0},
    /* -4 */ {0, 0, 0, 2, 2, 3, 4, 4, 3, 2, 2, 0, 0, 0, 0},
    /* -3 */ {0, 0, 1, 2, 3, 4, 5, 5, 4, 3, 2, 1, 0, 0, 0},
    /* -2 */ {0, 1, 2, 3, 4, 5, 6, 6, 5, 4, 3, 2, 1, 0, 0},
    /* -1 */ {1, 2, 3, 4, 5, 6, 7, 7, 6, 5, 4, 3, 2, 1, 0},
    /*  0 */ {1, 2, 3, 4, 5, 6, 7, 7, 6, 5, 4, 3, 2, 1, 0},
    /*  1 */ {0, 1, 2, 3, 4, 5, 6, 6, 5, 4, 3, 2, 1, 0, 0},
    /*  2 */ {0, 0, 1, 2, 3, 4, 5, 5, 4, 3, 2, 1, 0, 0, 0},
    /*  3 */ {0, 0, 0, 2, 2, 3, 4, 4, 3, 2, 2, 0, 0, 0, 0},
    /*  4 */ {0, 0, 0, 0, 1, 2, 3, 3, 2, 1, 0, 0, 0, 0, 0},
    /*  5 */ {0, 0, 0, 0, 0, 1, 2, 2, 1, 0, 0, 0, 0, 0, 0},
    /*  6 */ {0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0},
    /*  7 */ {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

// The cells by 0x88 difference + 0x77: row r, column f is entry 16 * r + f.
constexpr ClosenessTable byDifference() {
  ClosenessTable t{};
  for (int r = 0; r < 15; r++)
    for (int f = 0; f < 15; f++) t.cell[16 * r + f] = CLOSENESS_CELLS[r][f];
  return t;
}

}  // namespace

const ClosenessTable centreClosenessTable = byDifference();

// Rank 1 first (a1..h1), rank 8 last.
const int8_t endgameKingWhiteData[64] = {
    0, 1, 2, 3, 3, 2, 1, 0,  // 1
    2, 2, 3, 4, 4, 3, 2, 2,  // 2
    2, 3, 4, 5, 5, 4, 3, 2,  // 3
    3, 4, 5, 6, 6, 5, 4, 3,  // 4
    4, 5, 6, 7, 7, 6, 5, 4,  // 5
    4, 5, 6, 7, 7, 6, 5, 4,  // 6
    3, 4, 5, 6, 6, 5, 4, 3,  // 7
    2, 3, 4, 5, 5, 4, 3, 2,  // 8
};

// Squares: a1 = 0x00, h1 = 0x07, a8 = 0x70.
const TrappedPattern trappedPatterns[16] = {
    {WHITE_BISHOP, 0x60, BLACK_PAWN, {0x51, 12}},   // Ba7, b6
    {WHITE_BISHOP, 0x67, BLACK_PAWN, {0x56, 12}},   // Bh7, g6
    {WHITE_BISHOP, 0x50, BLACK_PAWN, {0x41, 12}},   // Ba6, b5
    {WHITE_BISHOP, 0x57, BLACK_PAWN, {0x46, 12}},   // Bh6, g5
    {WHITE_KNIGHT, 0x70, BLACK_PAWN, {0x60, 12}},   // Na8, a7
    {WHITE_KNIGHT, 0x77, BLACK_PAWN, {0x67, 12}},   // Nh8, h7
    {WHITE_ROOK, 0x10, WHITE_PAWN, {0x20, 0x11}},   // Ra2, a3 b2
    {WHITE_ROOK, 0x17, WHITE_PAWN, {0x27, 0x16}},   // Rh2, h3 g2
    {BLACK_BISHOP, 0x10, WHITE_PAWN, {0x21, 12}},   // ba2, b3
    {BLACK_BISHOP, 0x17, WHITE_PAWN, {0x26, 12}},   // bh2, g3
    {BLACK_BISHOP, 0x20, WHITE_PAWN, {0x31, 12}},   // ba3, b4
    {BLACK_BISHOP, 0x27, WHITE_PAWN, {0x36, 12}},   // bh3, g4
    {BLACK_KNIGHT, 0x00, WHITE_PAWN, {0x10, 12}},   // na1, a2
    {BLACK_KNIGHT, 0x07, WHITE_PAWN, {0x17, 12}},   // nh1, h2
    {BLACK_ROOK, 0x60, BLACK_PAWN, {0x50, 0x61}},   // ra7, a6 b7
    {BLACK_ROOK, 0x67, BLACK_PAWN, {0x57, 0x66}},   // rh7, h6 g7
};

// King-zone groups by 0x88 square: the squares that count as one shelter
// share a byte (1 g1 side, 2 b1 side, 3 g8 side, 4 b8 side); every other
// square has its own byte; the off-board columns are 0.
const uint8_t kingZoneGroups[128] = {
      2,   2,   2,  19,  20,   1,   1,   1,   0,   0,   0,   0,   0,   0,   0,   0,  // rank 1
      2,   2,   2,  35,  36,   1,   1,   1,   0,   0,   0,   0,   0,   0,   0,   0,  // rank 2
     48,  49,  50,  51,  52,  53,  54,  55,   0,   0,   0,   0,   0,   0,   0,   0,  // rank 3
     64,  65,  66,  67,  68,  69,  70,  71,   0,   0,   0,   0,   0,   0,   0,   0,  // rank 4
     80,  81,  82,  83,  84,  85,  86,  87,   0,   0,   0,   0,   0,   0,   0,   0,  // rank 5
     96,  97,  98,  99, 100, 101, 102, 103,   0,   0,   0,   0,   0,   0,   0,   0,  // rank 6
      4,   4,   4, 115, 116,   3,   3,   3,   0,   0,   0,   0,   0,   0,   0,   0,  // rank 7
      4,   4,   4, 131, 132,   3,   3,   3,   0,   0,   0,   0,   0,   0,   0,   0,  // rank 8
};
