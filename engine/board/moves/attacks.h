// Attack look-ups on the board: who attacks a square, the squares between two
// squares, and whether a king stands attacked.
#pragma once
#include <cstdint>

#include "engine/board/position.h"

// Square of an enemy piece that `piece` would attack from `square` (class above
// `limit`; 6 = the piece's own class, 11 = the enemy king only), or 12.
// With limit 11 a pawn on its 7th rank may answer its free push square: a check
// is given only when the answer is the enemy king's square.
int findAttacker(int square, const PieceRecord *piece, uint64_t occupancy, int limit);
uint64_t squaresBetween(int from, int to);
// Is the square attacked by a piece of the given colour (sliders need an empty
// path in `occupancy`)? False for a square off the board.
bool squareAttacked(const Board *b, int square, int byColour, uint64_t occupancy);
// Is the king of the given colour attacked on this board? (A captured king counts as attacked.)
bool kingAttacked(const Position *pos, int colour);
