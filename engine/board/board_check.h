// The board checker: every derived word of a Board (square array, piece lists,
// counts, pawn files, material) and of a Position (bitboards, the key) agrees
// with the pieces on the board. Called through debug assertions at the end of
// make, unmake, set-up and board copy; compiled out under NDEBUG.
#pragma once
#include "engine/board/position.h"

// The Board alone: the square array and the piece records agree both ways,
// each side's list is well linked and holds only that side's pieces on the
// board, and the piece counts by code, the men count, the pawns per file and
// the material sum match the lists.
bool boardIsOk(const Board *b);
// The Board, and the position's own/enemy/pawn bitboards against the board;
// with `withKey`, the key recomputed from scratch equals the position's key.
bool boardIsOk(const Position *pos, bool withKey);
