// Make and unmake move with incremental score, castling rights, e.p. and promotions.
#pragma once
#include "engine/board/position.h"

void makeMove(Position *parent, Move move, Position *child);
void unmakeMove(Position *child);
void updateCastlingRights(Position *pos);
void initPosition(Position *pos, Board *board);
inline int isSpecialMove(const Position *pos) { return pos->nodeFlags & NODE_SPECIAL_MOVE; }
