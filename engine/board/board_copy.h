// Copies of a Board and of a Position onto another Board (a helper thread's,
// a scratch board), with every pointer into the source re-based.
#pragma once
#include "engine/board/position.h"

// The whole board, its pointers re-based; the split words and the node count
// stay the destination's own (the count starts at 0).
void copyBoard(Board *dst, const Board *src);
// A Position's body (no move stack; the cursors point at the empty stack).
void copyPosition(Position *dst, const Position *src);
// A Position copied onto another thread's Board: its pointers follow.
void rebasePosition(Position *p, const Board *src, Board *dst);
