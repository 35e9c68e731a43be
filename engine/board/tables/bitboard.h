// Board geometry (0x88 and 0..63 numbering), the static piece descriptors and
// the bitboard attack tables with magic multiplication.
#pragma once
#include <cstdint>

#include "engine/board/board.h"

extern const uint8_t sq64To88[64];
extern const int8_t sq88To64[128];
extern const int32_t directionList[16];

// Tables indexed by 0x88 difference d = to - from, -119..119 (stored at d + 119).
extern const int8_t attackCapabilityData[240];
extern const int8_t stepByDifferenceData[240];
extern const int8_t distanceByDifferenceData[240];
extern const int8_t directionByDifferenceData[240];
inline int attackCapability(int d) { return attackCapabilityData[d + 119]; }
inline int stepByDifference(int d) { return stepByDifferenceData[d + 119]; }
inline int distanceByDifference(int d) { return distanceByDifferenceData[d + 119]; }
inline int directionByDifference(int d) { return directionByDifferenceData[d + 119]; }

// Squares (0..63) from which a bitboard step leaves the board, for the steps
// +-1, +-6, +-7, +-8, +-9, +-10, +-15, +-17. Any other value in -17..17 leaves
// from every square; a value outside that range fails the engine assertion.
uint64_t edgeBlocked(int step);

extern const int32_t rookBits[64];
extern const int32_t bishopBits[64];
extern const uint64_t rookMagic[64];
extern const uint64_t bishopMagic[64];

extern uint64_t squareBit[64];
extern uint64_t notSquareBit[64];
extern uint64_t squareBit88[120];
extern uint64_t notSquareBit88[120];
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

// The thirteen static piece descriptors, one per PieceCode, linked in code order.
// Direction runs point into directionList; pawns and the empty code have an
// empty run (firstDirection == lastDirection + 1).
extern PieceKind PieceType[13];

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
inline int bitCount(uint64_t b) { return __builtin_popcountll(b); }
