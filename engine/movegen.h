// Move generation and ordering: generators, staged picker helpers, attacker
// and between-square look-ups.
#pragma once
#include "engine/board.h"

void genCaptures(Position *pos);
void genPieceQuietMoves(Position *pos);
void genQuietMoves(Position *pos);
int findAttacker(int square, const PieceRecord *piece, uint64_t occupancy, int limit);
uint64_t squaresBetween(int from, int to);
// Pushes a move; silently refuses once the list is full.
void pushMove(Position *pos, Move move);
void resetPicker(Position *pos);
int moveEquals(Move a, Move b);
void unlockSearch();
// The staged picker: next pseudo-legal move of the position, NO_MOVE when done.
Move pickMove(Position *pos);
// Is the king of the given colour attacked on this board?
bool kingAttacked(const Position *pos, int colour);
// Full pseudo-legality of an arbitrary move word in this position (hash moves).
bool isPseudoLegal(const Position *pos, Move move);
