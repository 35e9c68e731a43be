// Pseudo-legality of an arbitrary move word (table moves, killers).
#pragma once
#include "engine/board/position.h"

// Full pseudo-legality of an arbitrary move word in this position (hash moves):
// true exactly when the generators would produce it.
bool isPseudoLegal(const Position *pos, Move move);

