// The move word.
#pragma once
#include <cstdint>

#include "engine/board/square.h"

// A move is one 16-bit word:
//   bits 0..7   from-square (0x88)
//   bits 8..15  to-square byte (0x88)
// A queen promotion, castling (the king's two-square step) and an e.p. capture
// need no mark: the pieces on the board tell them apart. An under-promotion puts
// the to-square byte 1, 2 or 3 ranks beyond the last rank, for a rook, bishop
// or knight: a white pawn reaching e8 as a rook writes 0x84 (e8 + 16), a black
// pawn reaching e1 as a knight writes 0x04 - 48 = 0xD4. Read as a signed 16-bit
// word such a move is negative; realTo maps the byte back onto the last rank.
// NO_MOVE has the off-board NO_SQUARE in both bytes; a "threat" word that only
// records an attacker keeps NO_SQUARE in its to-byte.
typedef uint16_t Move;

constexpr Move NO_MOVE = (Move)(NO_SQUARE | (NO_SQUARE << 8));

inline int moveFrom(Move m) { return m & 0xFF; }
inline int moveToByte(Move m) { return m >> 8; }
inline Move makeMoveWord(int from, int to) { return (Move)((from & 0xFF) | ((to & 0xFF) << 8)); }
// The real 0x88 to-square of any move (under-promotions mapped back onto the last rank).
inline int realTo(Move m) {
  int t = (int8_t)(m >> 8);
  if (t >= 0) return t;
  return (t & 15) + (t < -64 ? 0x70 : 0);
}
inline bool moveSet(Move m) { return moveFrom(m) != NO_SQUARE; }     // killers, lines
inline bool threatSet(Move m) { return moveToByte(m) != NO_SQUARE; } // threats, pending captures
