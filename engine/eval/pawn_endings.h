// The pawn-ending draw patterns: a lone pawn (or rook pawn and wrong bishop)
// that the defending king holds, scored as a draw.
#pragma once
#include "engine/board/position.h"

void kingPawnTerm(Position *pos);
