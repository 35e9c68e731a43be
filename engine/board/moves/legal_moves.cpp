// Legal moves over the generators and make-move.
#include "engine/board/moves/legal_moves.h"

#include <cassert>

#include "engine/board/board_copy.h"
#include "engine/board/moves/attacks.h"
#include "engine/board/moves/makemove.h"
#include "engine/board/moves/movegen.h"

int generateAll(Position *pos) {
  assert(pos && pos->pg);
  resetPicker(pos);
  genCaptures(pos);
  const PieceRecord *end = &pos->pg->sentinel;
  for (PieceRecord *p = pos->ownPieces->node.next; p != end; p = p->next) {
    pos->pieceCursor = p;
    genPieceQuietMoves(pos);
  }
  return (int)(pos->moveCursor - pos->moveList);
}

bool makeLegal(Position *pos, Move move, Position *child) {
  assert(pos && child && pos != child);
  makeMove(pos, move, child);
  if (!kingAttacked(child, pos->side)) return true;
  unmakeMove(child);
  return false;
}

// A working copy of a position on its own board: no parent, so make-move
// takes no shortcut through a grandparent.
static void workCopy(Position *work, const Position *pos) {
  copyPosition(work, pos);
  work->parent = nullptr;
}

int legalMoves(const Position *pos, Move *out, int max) {
  assert(pos && out && max >= 0);
  Position work, child;
  workCopy(&work, pos);
  const int64_t nodes = work.pg->nodeCount;
  int total = generateAll(&work);
  int n = 0;
  for (int i = 0; i < total && n < max; i++) {
    Move m = work.moveList[i];
    bool seen = false;
    for (int j = 0; j < n && !seen; j++) seen = out[j] == m;
    if (seen || !makeLegal(&work, m, &child)) continue;
    unmakeMove(&child);
    out[n++] = m;
  }
  work.pg->nodeCount = nodes;
  return n;
}

bool isLegalMove(const Position *pos, Move move) {
  assert(pos);
  if (moveFrom(move) == NO_SQUARE || (moveToByte(move) & 0xFF) == NO_SQUARE) return false;
  Move list[MAX_LEGAL_MOVES];
  int n = legalMoves(pos, list, MAX_LEGAL_MOVES);
  for (int i = 0; i < n; i++)
    if (list[i] == move) return true;
  return false;
}

uint64_t perftCount(Position *pos, int depth) {
  assert(pos && depth >= 1 && depth <= MAX_PLY);
  Position *child = pos + 1;
  int n = generateAll(pos);
  uint64_t nodes = 0;
  for (int i = 0; i < n; i++) {
    if (!makeLegal(pos, pos->moveList[i], child)) continue;
    nodes += depth <= 1 ? 1 : perftCount(child, depth - 1);
    unmakeMove(child);
  }
  return nodes;
}
