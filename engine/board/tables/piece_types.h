// The static piece descriptors, one per PieceCode.
#pragma once
#include "engine/board/board.h"

// The thirteen static piece descriptors, one per PieceCode, linked in code order.
// Direction runs point into directionList; pawns and the empty code have an
// empty run (firstDirection == lastDirection + 1).
extern PieceKind PieceType[13];

