// Per-node helpers shared by the search files: threat and e.p. tests, the gain
// of a move, child record set-ups and copies, variation lines.
#pragma once
#include <cstring>

#include "engine/board/moves/attacks.h"
#include "engine/board/moves/movegen.h"
#include "engine/board/position.h"
#include "engine/board/tables/bitboard.h"
#include "engine/search/hash.h"
#include "platform/blocks.h"

// A move that answers a recorded threat (threatMove: attacker square, target square).
inline bool answersThreat(const Position *pos, int from, int to, bool enPassant) {
  int attacker = moveFrom(pos->threatMove), target = moveToByte(pos->threatMove);
  if (to == attacker || from == target) return true;
  if (enPassant && to == attacker + 16 * pos->side) return true;
  if (!onBoard(attacker) || !onBoard(target)) return false;
  int step = stepByDifference(target - attacker);
  if (step == 0 || stepByDifference(to - attacker) != step) return false;
  return to == target || stepByDifference(target - to) == step;
}
// Is the move an e.p. capture in this position? (The node's e.p. flag, rarely
// set, is tested first: it fails at once for almost every move.)
inline bool isEnPassant(const Position *pos, const PieceRecord *mover, int to) {
  return (pos->nodeFlags & NODE_EP_VALID) && to == pos->epSquare && mover->desc.kind == PAWN &&
         isEmpty(pieceOn(pos->pg, to)) && fileOf(to) != fileOf(mover->square);
}
// Gain of a move by the mover's prepared table plus the value taken. (The
// target's value is read either way, so that the choice needs no branch.)
inline int moveGain(const PieceRecord *mover, int from, int to, const PieceRecord *target) {
  const int16_t *t = mover->kind->squareTable;
  const int taken = target->value;
  return t[to] - t[from] + (isEmpty(target) ? 0 : taken);
}

// A child record that has never been used: killers empty, no threat, no table entry.
inline void initChildRecord(Position *c, Board *b) {
  // the move stack is only ever read below its cursor: it is left as it is
  static_assert(offsetof(Position, moveList) == 0, "the move stack leads the record");
  // in blocks: a child record is cleared at nearly every node
  clearBlocks<sizeof(Position) - sizeof c->moveList>((char *)c + sizeof c->moveList);
  c->pg = b;
  c->moveCursor = c->quietStart = c->moveList;
  c->childKillers[0] = c->childKillers[1] = NO_MOVE;
  c->threatMove = c->pendingThreat = c->lastMove = c->hashMove = c->unresolvedThreat = NO_MOVE;
  c->threatTarget = c->capturedPiece = &b->sentinel;
  c->futilityGap = -MATE_SCORE;
  c->epSquare = NO_SQUARE;
}
// The per-node words of a freshly made child that make-move leaves alone.
inline void afterMake(const Position *node, Position *c) {
  c->matedScore = node->matedScore + 1;
  c->threatMove = NO_MOVE;
  c->threatTarget = &c->pg->sentinel;
  c->threatKind = 0;
  c->movesTried = 0;
  c->unresolvedThreat = NO_MOVE;
  c->hashMove = NO_MOVE;
  c->inCheck = 0;
  c->hashEntry = nullptr;
  c->futilityGap = -MATE_SCORE;
  c->quietStart = c->moveList;
}
// Copy of a node's body into a scratch record with an empty move stack.
inline void copyNode(Position *dst, const Position *src) {
  copyBlocks<sizeof(Position) - POSITION_BODY>((char *)dst + POSITION_BODY, (const char *)src + POSITION_BODY);
  dst->moveCursor = dst->quietStart = dst->moveList;
  dst->hashEntry = nullptr;
}
// The same with the move stack so far.
inline void copyNodeWithStack(Position *dst, const Position *src) {
  copyNode(dst, src);
  int n = (int)(src->moveCursor - src->moveList);
  std::memcpy(dst->moveList, src->moveList, sizeof(Move) * n);
  dst->moveCursor = dst->moveList + n;
  dst->quietStart = dst->moveList + (src->quietStart - src->moveList);
}
inline bool anyQueen(const Board *b) { return b->kinds[WHITE_QUEEN].count + b->kinds[BLACK_QUEEN].count > 0; }

inline void clearLine(Move *pv) { pv[0] = NO_MOVE; }
// Copies a line into at most `room` slots, ended by NO_MOVE when it is shorter.
inline void copyLine(Move *dst, const Move *src, int room) {
  int i = 0;
  for (; i < room && moveSet(src[i]); i++) dst[i] = src[i];
  if (i < room) dst[i] = NO_MOVE;
}
