// The attack steps of the builders: king-zone attack terms, reach terms of
// the pieces and the screens and pins along lines.
#pragma once
#include <cstdint>

#include "engine/board/position.h"

void prepareAttackTerms(Board *board);
// The squares (0..63) a piece on the board reaches: a slider's lines end on
// the first square of the occupancy; a pawn reaches its capture squares.
uint64_t reachSet(const PieceRecord *piece, uint64_t occupancy);
// Screens and pins over the kings, queens, rooks and bishops (both builders).
void lineTerms(Board *board, bool endgame);
// Adds to the knight, rook, bishop and queen tables of each side the values
// ([side index][0x88 square]) of the squares those pieces reach; blocked sets
// (per side, may be null) reduce a line to 49/64 beyond them.
void addReachTerms(Board *board, const int (*knightValue)[128], const int (*lineValue)[128], const uint64_t *blocked,
                   bool knights, bool orthogonal, bool diagonal);
