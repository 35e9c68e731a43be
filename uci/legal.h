// The program's game copy: scratch copies of the root for walking a
// variation, and the letter of a piece on a square. Legal moves come from the
// board layer's legal-move interface.
#pragma once
#include "engine/board/moves/legal_moves.h"
#include "engine/board/position.h"

// Copies board and position into a scratch pair, the position re-based onto
// the scratch board; the copy has no parent.
void copyScratch(Board *dstBoard, Position *dstPos, const Board *srcBoard, const Position *srcPos);
// Plays a legal move on a scratch position in place: the position becomes its
// child (without parent), the board shows the new position.
void playOnScratch(Position *pos, Move move);
// The letter of the piece on a square of pos's board ('P', 'n', ...; 0 when empty).
char pieceLetterAt(const Position *pos, int square);
