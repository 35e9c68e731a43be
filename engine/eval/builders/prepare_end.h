// The endgame builder of the preparation.
#pragma once
#include <cstdint>

#include "engine/board/position.h"

// Builds the endgame tables; returns the white-view score.
int prepareEndgameTables(Board *board, int32_t *flags, int halfMoveClock, int side);
void prepareSquareTerms(Board *board);
void scanSliderLines(Board *board);
