// The pawn steps of the builders: per-file records, spans and passed-pawn
// segments, centre control and the king-pawn terms.
#pragma once
#include <cstdint>

#include "engine/board/position.h"

// Middlegame pawn analysis (segment factor 53).
void analysePawns(Board *board);
// Shared by both builders: per-file records, pawn bitboards, spans, widened
// attack sets and passed-pawn file segments (factor 49 or 53 on the table).
void analysePawnStructure(Board *board, int segmentFactor);
// Adds `amount` to the squares of a file segment in front of a pawn.
void addFileSegment(Board *board, int side, int rank, int file, int amount);
// Centre pawn control terms (worth `unit` per square), before the square pass.
int centrePawnControl(Board *board, int unit);
// Kings and pawns: each pawn draws the enemy king and, passed, its own.
void kingPawnTerms(Board *b, int nearWeight, int rankWeight);
