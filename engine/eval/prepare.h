// Position preparation: the piece values, the phase by material and the
// prepared tables that stand in for a static evaluation.
#pragma once
#include <atomic>
#include <cstddef>

#include "engine/board/position.h"

// ---- module words ----
extern int32_t endgameThreshold;
extern int32_t richMaterial;
extern int32_t twoRooksTwoBishops;
extern int32_t rookBishopQueen;
extern int32_t scoreOffset;
// Written by every search thread's preparations (same value in each thread).
extern std::atomic<int32_t> searchMargin;

// The part of a board's prepared tables a preparation writes: the square
// tables and the data fields that follow them, not the data block's spare bytes.
constexpr size_t PREPARED_BYTES = sizeof(PreparedTables::square) + sizeof(PreparedDataFields);

// ---- the preparation ----
// Prepares the tables of the position's board and the position's score; a
// reset preparation first derives the weights and frees the save slots.
void prepare(Position *pos, int reset);
// The same with the endgame builder.
void prepareEndgame(Position *pos, int reset);
