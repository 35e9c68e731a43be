// The node search: one node of the alpha-beta search with its table probe,
// null-move and threat handling, move loop and table store.
#pragma once
#include "engine/board/position.h"

constexpr int PV_LENGTH = 19;  // moves kept in a variation

int search(Position *pos, int depth, int beta, int alpha, Move *killers, Move *pv, const Move *excluded);
// Has the search been told to stop, or is this board's split work stale?
bool searchStopped(const Board *b);
// A null-move child: sides swapped, no move made on the board.
void buildNullChild(const Position *node, Position *n);
