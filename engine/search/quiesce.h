// The searches below the node search: the frontier search, quiescence with
// checks and plain quiescence, with their check and threat tests.
#pragma once
#include "engine/board/position.h"

int searchFrontier(Position *pos, int depth, int beta, int alpha, Move *killers, Move *pv);
int quiesceChecks(Position *pos, int beta, int alpha, Move *killers, Move *pv);
int quiesce(Position *pos, int beta, int alpha, Move *moveOut);
// Does the mover, once on `to`, give check (pawns by geometry, a pawn reaching
// the last rank as a queen)? `occ` is the occupancy after the move.
bool givesCheck(const Position *pos, const PieceRecord *mover, int from, int to);
// Is a threat capture that a move leaves open (from the opponent's side, now
// to move in `child`) answered by the exchange? An unplayable threat is gone too.
bool threatIsGone(Position *child, Move threat);
