// Pseudo-legal move generation onto a position's move stack.
#pragma once
#include <cassert>

#include "engine/board/position.h"

// ---- generators (push onto the position's move stack) ----
// Tactical stage: captures, e.p., pawn pushes to the 7th rank and queen promotions.
void genCaptures(Position *pos);
// Quiet moves of the piece at pieceCursor: castling, under-promotions, the rest.
void genPieceQuietMoves(Position *pos);
// Castling to the king side (direction +1) or queen side (-1) allowed now?
bool castlingAllowed(const Position *pos, int kingSquare, int direction);

// ---- the move stack ----
// Pushes a move; silently refuses once the list is full.
inline void pushMove(Position *pos, Move move) {
  assert(pos && pos->moveCursor >= pos->moveList);
  if (pos->moveCursor < pos->moveList + MOVE_LIST_SIZE) *pos->moveCursor++ = move;
}
void resetPicker(Position *pos);

