// Legal moves: the pseudo-legal moves whose mover's king is not left attacked,
// and the perft count of the legal move tree. The one place where a move is
// made and tested for leaving the king attacked outside the searches.
#pragma once
#include <cstdint>

#include "engine/board/position.h"

constexpr int MAX_LEGAL_MOVES = 256;  // more than any position has

// Every pseudo-legal move of the position onto its move stack: the tactical
// stage, then each piece's quiet moves in list order. Returns their number.
int generateAll(Position *pos);
// Makes the move into `child` and keeps it made when the mover's king is not
// left attacked (true); otherwise takes it back (false).
bool makeLegal(Position *pos, Move move, Position *child);
// The legal moves of the position in generation order (tactical moves first),
// each once, at most `max`. The position and its board are left as found,
// node count included.
int legalMoves(const Position *pos, Move *out, int max);
bool isLegalMove(const Position *pos, Move move);
// Leaves of the legal move tree `depth` plies deep. The position is the first
// of a stack: pos + 1 .. pos + depth are its descendants' records.
uint64_t perftCount(Position *pos, int depth);
