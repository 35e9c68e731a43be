// Zobrist keys: drawn once from the fixed 15-bit sequence so that every run
// (and the opening book) sees the same keys.
#include "engine/board/keys.h"

#include <cassert>
#include <cstring>

#include "engine/board/tables/bitboard.h"
#include "engine/board/tables/piece_types.h"
#include "platform/platform.h"

uint64_t keySlabs[7][128];
uint64_t sideKey;

static Rand15 keyRand;

uint64_t random64() {
  uint64_t x = 0;
  for (int i = 0; i < 5; i++) x = (x << 15) | (uint64_t)(keyRand.next() & 0x7FFF);
  return x;
}

void initKeys() {
  memset(keySlabs, 0, sizeof keySlabs);
  keyRand.state = 0;
  for (int code = 0; code < 13; code++) {
    // codes 0..6 own slabs 0..6; codes 7..12 use the free file-8..15 half of slabs 0..5
    uint64_t *table = code < 7 ? keySlabs[code] : keySlabs[code - 7] + 8;
    PieceType[code].zobrist = table;
    for (int sq = 0; sq < 120; sq++)
      if (onBoard(sq)) table[sq] = random64();
  }
  sideKey = random64();
}

static const PieceKind *pawnKindOf(const Board *b, int colour) {
  return &b->kinds[colour > 0 ? WHITE_PAWN : BLACK_PAWN];
}

void updateHashKey(Position *child) {
  assert(child && child->parent && child->pg);
  const Position *parent = child->parent;
  Board *b = child->pg;
  Move m = child->lastMove;
  int f = moveFrom(m);
  int t = realTo(m);
  const PieceRecord *moved = b->at(t);
  uint64_t k = parent->key ^ pieceKey(moved->kind, f) ^ pieceKey(moved->kind, t) ^ sideKey;
  const PieceRecord *captured = child->capturedPiece;
  bool tookPiece = captured != b->end();
  if (tookPiece) k ^= pieceKey(captured->kind, t);
  if (child->nodeFlags & NODE_SPECIAL_MOVE) {
    int mover = parent->side;
    if (moved->kind->kind == PAWN) {
      // e.p.: the captured pawn stood behind the target square
      if (tookPiece) k ^= pieceKey(captured->kind, t - 16 * mover) ^ pieceKey(captured->kind, t);
    } else if (moved->kind->kind == KING && (t - f == 2 || f - t == 2)) {
      const PieceKind *rook = &b->kinds[mover > 0 ? WHITE_ROOK : BLACK_ROOK];
      int base = f & 0x70;
      if (t > f) k ^= pieceKey(rook, base + 7) ^ pieceKey(rook, base + 5);
      else k ^= pieceKey(rook, base + 0) ^ pieceKey(rook, base + 3);
    } else {
      // promotion: the pawn left f, not the promoted piece
      k ^= pieceKey(moved->kind, f) ^ pieceKey(pawnKindOf(b, mover), f);
    }
  }
  child->key = k;
}

uint64_t computeKey(const Position *pos) {
  assert(pos && pos->pg);
  Board *b = pos->pg;
  uint64_t k = 0;
  for (const PieceListHead *h : {&b->white, &b->black})
    for (const PieceRecord *r = h->node.next; r != b->end(); r = r->next)
      if (onBoard(r->square)) k ^= pieceKey(r->kind, r->square);
  if (pos->side < 0) k ^= sideKey;
  return k;
}
