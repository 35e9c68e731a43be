// Bitboards (0..63, a1 = 0): square bits, step and ray tables, and the slider
// attack look-ups by magic multiplication.
#pragma once
#include <cstdint>

#include "engine/board/tables/geometry.h"
#include "engine/board/tables/magics.h"

extern uint64_t squareBit[64];
extern uint64_t notSquareBit[64];
extern uint64_t squareBit88[120];
extern uint64_t notSquareBit88[120];
// Bit of a board square given as an 0x88 square: one look-up.
inline uint64_t bitOf88(int sq88) { return squareBit88[sq88]; }
extern uint64_t rookMask[64];
extern uint64_t bishopMask[64];
extern int32_t rookOffset[64];
extern int32_t bishopOffset[64];
extern uint64_t rookAtts[102400];
extern uint64_t bishopAtts[5248];
extern uint64_t knightAttacks[64];
extern uint64_t kingAttacks[64];
extern uint64_t whitePawnAttacks[64];
extern uint64_t blackPawnAttacks[64];
extern uint64_t rays[8][64];  // bitboard steps 1, -1, 8, -8, 9, -9, 7, -7
extern uint64_t couldAttack[64];

// Builds the tables above; the first call builds, later calls change nothing.
void initBitboards();

inline uint64_t rookAttacks(int sq, uint64_t occ) {
  return rookAtts[rookOffset[sq] + (int)(((occ & rookMask[sq]) * rookMagic[sq]) >> (64 - rookBits[sq]))];
}
inline uint64_t bishopAttacks(int sq, uint64_t occ) {
  return bishopAtts[bishopOffset[sq] + (int)(((occ & bishopMask[sq]) * bishopMagic[sq]) >> (64 - bishopBits[sq]))];
}
inline uint64_t queenAttacks(int sq, uint64_t occ) { return rookAttacks(sq, occ) | bishopAttacks(sq, occ); }
inline int lowestBit(uint64_t b) { return __builtin_ctzll(b); }
inline int highestBit(uint64_t b) { return 63 - __builtin_clzll(b); }
inline int bitCount(uint64_t b) { return __builtin_popcountll(b); }
