// The middlegame builder of the preparation.
#pragma once
#include <cstdint>

#include "engine/board/position.h"

// Builds the middlegame tables; returns the white-view score.
int prepareTables(Board *board, int32_t *flags, int halfMoveClock, int side);
// A rook boxed in by its own king between `start` and `end`.
void findBoxedRook(Board *board, int start, int end, int side, int *endOut, int *rookOut);
