// Offline derivation of the stored lengths of the descriptor table: a side's
// length is the largest index a legal position of that side produces, plus
// one. Used by the length generator tool and its test; nothing calls it at
// run time.
//
// Legal: distinct squares, kings not adjacent, pawns on ranks 2-7, the side
// not to move not in check; an e.p. position also needs the capturing pawn
// on a capturing square, the moved pawn in front of the e.p. square, and the
// e.p. square and the moved pawn's origin empty.
#pragma once

#include <cstdint>

// Stored length of side `side` of table `id` (side 1 of a symmetric table is
// side 0's); 0 when no legal position exists. initEnumerations must have run.
// The search descends from the top king pair and, within it, from the top
// group placement, and stops at the first that admits a legal position.
int64_t tbSearchLength(int id, int side);
