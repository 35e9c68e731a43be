// Squares in 0x88 numbering: rank * 16 + file, a1 = 0x00, h8 = 0x77. A square
// is on the board exactly when no bit of 0x88 is set.
#pragma once

constexpr int NO_SQUARE = 12;  // an off-board square that stands for "none"

inline bool onBoard(int sq) { return (sq & ~0x77) == 0; }
inline int fileOf(int sq) { return sq & 7; }
inline int rankOf(int sq) { return sq >> 4; }
