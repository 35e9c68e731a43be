// Copies of a Board and of a Position onto another Board: every pointer into
// the source board is re-based onto the destination.
#include "engine/board/board_copy.h"

#include <cassert>
#include <cstring>

#include "engine/board/board_check.h"

template <typename T>
static void rebase(T *&p, const Board *src, Board *dst) {
  const char *s = (const char *)src;
  const char *q = (const char *)p;
  if (q >= s && q < s + sizeof(Board)) p = (T *)((char *)dst + (q - s));
}

static void rebasePiece(PieceRecord *r, const Board *src, Board *dst) {
  rebase(r->next, src, dst);
  rebase(r->prev, src, dst);
  rebase(r->kind, src, dst);
  rebase(r->desc.next, src, dst);
  rebase(r->desc.squareTable, src, dst);
  rebase(r->board, src, dst);
}

static void rebaseHead(PieceListHead *h, const Board *src, Board *dst) {
  rebasePiece(&h->node, src, dst);
  rebase(h->other, src, dst);
}

void copyBoard(Board *dst, const Board *src) {
  assert(dst && src && dst != src);
  // The split words and the node count are the destination's own (and other
  // threads add to the source's count meanwhile), so they are not copied.
  memcpy((void *)dst, (const void *)src, (size_t)((const char *)&src->nodeCount - (const char *)src));
  memcpy((void *)&dst->prepared, (const void *)&src->prepared, sizeof(PreparedTables));
  dst->drawShrink = src->drawShrink;
  dst->kingActive = src->kingActive;
  dst->kingZoneTable = src->kingZoneTable;
  dst->nodeCount = 0;

  rebasePiece(&dst->sentinel, src, dst);
  for (PieceRecord &r : dst->pieces) rebasePiece(&r, src, dst);
  rebasePiece(&dst->offBoard, src, dst);
  for (PieceRecord *&p : dst->squareArray) rebase(p, src, dst);
  for (PieceListHead *&h : dst->headBySide) rebase(h, src, dst);
  for (PieceRecord *&p : dst->endRecordBySide) rebase(p, src, dst);
  rebaseHead(&dst->white, src, dst);
  rebaseHead(&dst->black, src, dst);
  for (PieceListHead *&h : dst->listHeads) rebase(h, src, dst);
  for (PieceKind &k : dst->kinds) {
    rebase(k.next, src, dst);
    rebase(k.squareTable, src, dst);
  }
  assert(boardIsOk(dst));
}

void copyPosition(Position *dst, const Position *src) {
  assert(dst && src);
  memcpy((char *)dst + POSITION_BODY, (const char *)src + POSITION_BODY, sizeof(Position) - POSITION_BODY);
  dst->moveCursor = dst->moveList;
  dst->quietStart = dst->moveList;
}

void rebasePosition(Position *p, const Board *src, Board *dst) {
  assert(p && src && dst);
  p->pg = dst;
  rebase(p->ownPieces, src, dst);
  rebase(p->capturedPiece, src, dst);
  rebase(p->threatTarget, src, dst);
  rebase(p->pieceCursor, src, dst);
}
