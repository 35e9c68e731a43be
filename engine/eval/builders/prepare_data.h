// Constant data of the position preparation: base piece values, default
// passed-pawn tables, the closeness-to-centre table, the endgame king table,
// the trapped-piece patterns and the central knight squares.
#pragma once
#include <cassert>
#include <cstdint>
#include <initializer_list>

// Base piece values (percent weights scale them): middlegame and endgame,
// indexed by colour-free kind 7 (pawn) .. 11 (queen); the king is fixed.
extern const int32_t baseMiddlegameValue[13];
extern const int32_t baseEndgameValue[13];
constexpr int32_t KING_VALUE = 14000;

// Passed-pawn tables by rank counted from the pawn's own side (0..7), before
// the percent weight is applied.
extern const int32_t passedNoQueenDefault[8];
extern const int32_t passedWithQueenDefault[8];
extern const int32_t passedEndgameDefault[8];

// Closeness to a reference square, by 0x88 difference (square - reference):
// 15 x 15 cells, row = rank difference + 7, column = file difference + 7,
// kept 16 to a row so that difference + 0x77 indexes them at once.
struct ClosenessTable {
  int8_t cell[240];
};
extern const ClosenessTable centreClosenessTable;
inline int centreCloseness(int diff) { return centreClosenessTable.cell[diff + 0x77]; }

// The 0..63 index (a1 = 0) of an 0x88 square, usable in constant expressions.
constexpr int index64(int sq88) { return (sq88 >> 4) * 8 + (sq88 & 7); }

// Endgame king table for white by 0..63 square (a1 = 0); black reads it with
// the ranks reversed (0x70 flips the rank of an 0x88 square).
extern const int8_t endgameKingWhiteData[64];
inline int endgameKingWhite(int sq88) { return endgameKingWhiteData[index64(sq88)]; }
inline int endgameKingBlack(int sq88) { return endgameKingWhiteData[index64(sq88 ^ 0x70)]; }

// Trapped-piece pattern: a piece code on a square, and up to two pawn squares
// (pawn code, 12 = unused) that must hold that pawn.
struct TrappedPattern {
  int8_t pieceCode;
  uint8_t square;
  int8_t pawnCode;
  uint8_t pawnSquare[2];
};
extern const TrappedPattern trappedPatterns[16];

// A set of 0..63 squares (a1 = bit 0) from a list of 0x88 squares.
constexpr uint64_t squareSet88(std::initializer_list<int> squares88) {
  uint64_t set = 0;
  for (int sq : squares88) set |= 1ULL << index64(sq);
  return set;
}

// The twelve central squares that reward knights: d3, e3, c4, d4, e4, f4, c5,
// d5, e5, f5, d6, e6, as one set, so that a square is tested with one shift.
constexpr uint64_t CENTRAL_KNIGHT_SQUARES =
    squareSet88({0x23, 0x24, 0x32, 0x33, 0x34, 0x35, 0x42, 0x43, 0x44, 0x45, 0x53, 0x54});
inline bool isCentralKnightSquare(int sq88) {
  assert((sq88 & 0x88) == 0);
  return (CENTRAL_KNIGHT_SQUARES >> index64(sq88)) & 1;
}

// The per-square byte table that a king move is tested against (the king's
// shelter group: a king move between squares of different bytes changes the
// king-zone terms). Selected by the middlegame builder when shelters are set.
extern const uint8_t kingZoneGroups[128];
