// FEN reading into the game record's start fields.
#pragma once
#include <cstdint>

// Reads a FEN text (null: the initial position) into the game record's start
// fields. Returns 0 when accepted, -1 when malformed; a rejected text leaves
// the game untouched.
int parseFen(const char *text);
// Places the pieces of a FEN board field on a 0x88 grid of piece codes
// (EMPTY_CODE elsewhere). False when the field is malformed, cannot be given
// piece records, or the placement is impossible (king count, pawns on the
// first or last rank).
bool readPlacement(const char *field, int8_t grid[128]);
