// Legal moves on the program's game copy: generation of the moves that do not
// leave the mover's king attacked, scratch copies of the root for walking a
// variation, and the game-end test of the root's move list.
#pragma once
#include "engine/board/position.h"

constexpr int MAX_LEGAL_MOVES = 256;

// Copies board and position into a scratch pair, re-basing every pointer of the
// position onto the scratch board; the copy has no parent.
void copyScratch(Board *dstBoard, Position *dstPos, const Board *srcBoard, const Position *srcPos);
// The legal moves of pos (on its own board, which is left as found), tactical
// moves first. Returns the count (at most max).
int legalMoves(const Position *pos, Move *out, int max);
bool isLegalMove(const Position *pos, Move move);
// Plays a legal move on a scratch position in place: the position becomes its
// child (without parent), the board shows the new position.
void playOnScratch(Position *pos, Move move);
// The letter of the piece on a square of pos's board ('P', 'n', ...; 0 when empty).
char pieceLetterAt(const Position *pos, int square);
