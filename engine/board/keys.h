// Zobrist keys of positions: one key per piece code and square, one for the
// side to move, drawn from a fixed sequence.
#pragma once
#include <cstdint>

#include "engine/board/position.h"

extern uint64_t keySlabs[7][128];
extern uint64_t sideKey;

inline uint64_t pieceKey(const PieceKind *kind, int sq) { return kind->zobrist[sq]; }

void initKeys();
uint64_t random64();
// The key of a freshly made child from its parent's key and the move's changes.
void updateHashKey(Position *child);
// Key of a Position computed from scratch (tests and consistency checks).
uint64_t computeKey(const Position *pos);
