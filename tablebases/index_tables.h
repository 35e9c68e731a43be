// Constant tables of the tablebase index: square transformations and the two
// king-pair numberings. Squares are 0..63 with a1 = 0, file = sq & 7,
// rank = sq >> 3.
#pragma once

#include <cstdint>

constexpr int TB_SQUARES = 64;
constexpr int TB_PAIRS_PAWNLESS = 462;  // king pairs with the mover's king in a1-d1-d4
constexpr int TB_PAIRS_PAWNS = 1806;    // king pairs with the mover's king on files a-d
constexpr int16_t TB_NO_PAIR = 4000;    // pair no legal normalised position produces

// 7 on files e-h, 0 on files a-d: the XOR that mirrors the king onto files a-d.
extern const int32_t mirrorFile[TB_SQUARES];
// {0, 56} by the invert flag: the rank flip of a colour-reversed position.
extern const int32_t invertRank[2];
// XOR that brings a square into the a1-d4 quadrant.
extern const uint32_t quadrantXor[TB_SQUARES];
// Row 0: the ten squares of the triangle a1-d1-d4. Row 1: squares off the
// a1-h8 diagonal. Row 2: squares on or below that diagonal (file >= rank).
extern const uint8_t diagonalFlags[3][TB_SQUARES];
// Reflection in the a1-h8 diagonal.
extern const int32_t transposeSquare[TB_SQUARES];
// King pair index [king of the side to move][other king]; TB_NO_PAIR where
// the pair is not canonical or the kings touch.
// Both are built by the compiler from the rule in index_tables.cpp.
extern const int16_t (&kkIndexPawnless)[TB_SQUARES][TB_SQUARES];
extern const int16_t (&kkIndexPawns)[TB_SQUARES][TB_SQUARES];
