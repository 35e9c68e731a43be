// Board geometry: the 0x88 <-> 0..63 square maps, the direction list and the
// tables indexed by the 0x88 difference of two squares.
#pragma once
#include <cstdint>

#include "engine/board/square.h"

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

