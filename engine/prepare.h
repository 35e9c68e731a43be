// Position preparation: the piece values, the phase by material and the
// prepared tables that stand in for a static evaluation.
#pragma once
#include <atomic>

#include "engine/board.h"

extern int32_t endgameThreshold;
extern int32_t richMaterial;
extern int32_t twoRooksTwoBishops;
extern int32_t rookBishopQueen;
extern int32_t scoreOffset;
extern std::atomic<int32_t> tempo;
extern std::atomic<int32_t> searchMargin;

void prepare(Position *pos, int reset);
void prepareEndgame(Position *pos, int reset);
void initMiddlegameWeights(Board *board);
void initEndgameWeights();
int prepareTables(Board *board, int32_t *flags, int halfMoveClock, int side);
int prepareEndgameTables(Board *board, int32_t *flags, int halfMoveClock, int side);
