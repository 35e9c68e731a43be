// Make and unmake move: the child Position is filled from the parent while the
// Board is changed in place; the child's score follows incrementally from the
// prepared tables. unmakeMove restores the Board from the child record alone.
#include "engine/board/moves/makemove.h"

#include <cassert>

#include "engine/board/board_check.h"
#include "engine/board/moves/movegen.h"
#include "engine/board/tables/bitboard.h"

namespace {

inline bool isLastRank(int sq) { return rankOf(sq) == 7 || rankOf(sq) == 0; }
// The castling right that belongs to a corner square (its rook's home).
struct CornerRights {
  uint8_t right[128];
};
constexpr CornerRights makeCornerRights() {
  CornerRights c{};
  c.right[0x00] = CASTLE_WHITE_LONG;
  c.right[0x07] = CASTLE_WHITE_SHORT;
  c.right[0x70] = CASTLE_BLACK_LONG;
  c.right[0x77] = CASTLE_BLACK_SHORT;
  return c;
}
constexpr CornerRights CORNER_RIGHTS = makeCornerRights();
inline int cornerRight(int sq) { return CORNER_RIGHTS.right[sq & 0x7F]; }
inline PieceListHead *sideHead(Board *b, int colour) { return colour > 0 ? &b->white : &b->black; }

// A rook's value where it stands: its square table plus the White rook kind's
// currentValue (used for rooks of both colours) plus the open-file bonus.
inline int rookValue(Board *b, const PieceRecord *r) {
  int sq = r->square;
  int f = fileOf(sq);
  int v = r->kind->squareTable[sq] + b->kinds[WHITE_ROOK].currentValue;
  if (b->white.pawnFiles()[f] == 0 && b->black.pawnFiles()[f] == 0) v += b->prepared.data.openFileRookBonus;
  return v;
}

// Re-values the four rook records standing on file F; returns the sum of the
// changes over White's two minus the sum over Black's two.
int revalueFileRooks(Board *b, int F) {
  static const int records[4] = {29, 30, 2, 3};  // White's two, then Black's two
  int a = 0;
  for (int i = 0; i < 4; i++) {
    PieceRecord *r = &b->pieces[records[i]];
    // a free record (square 12) or a captured one (square + 8) is off the
    // board; with the rank bits cleared one test asks "on the board and on file F"
    if ((r->square & ~0x70) != F) continue;
    int v = rookValue(b, r);
    a += (r->colour > 0 ? 1 : -1) * (v - r->value);
    r->value = v;
  }
  return a;
}

// Isolated-pawn pressure charged to a pawn of side s: the other side's entry.
inline int isolatedOf(Board *b, int s, int F) { return b->prepared.data.isolatedPressure[s > 0 ? 1 : 0][F]; }
inline int doubledOf(Board *b, int s, int F) { return b->prepared.data.doubledIsolatedPressure[s > 0 ? 1 : 0][F]; }

// A pawn of side s leaves file F: the change d from s's point of view.
// (Always inline: as a call in the capture steps it made make-move keep its
// live values on the stack around it.)
inline __attribute__((always_inline)) int pawnLeavesFile(Board *b, int s, int F) {
  int *own = sideHead(b, s)->pawnFiles();
  int *other = sideHead(b, -s)->pawnFiles();
  int d = (own[F - 1] == 0 && own[F + 1] == 0) ? isolatedOf(b, s, F) : 0;
  if (--own[F] == 0) {
    if (own[F - 2] == 0 && own[F - 1] > 0) d -= own[F - 1] == 1 ? isolatedOf(b, s, F - 1) : doubledOf(b, s, F - 1);
    if (own[F + 2] == 0 && own[F + 1] > 0) d -= own[F + 1] == 1 ? isolatedOf(b, s, F + 1) : doubledOf(b, s, F + 1);
    if (other[F] == 0) {
      int a = revalueFileRooks(b, F);
      d += s > 0 ? a : -a;
    }
  }
  return d;
}

// A pawn of side s enters file F (the mirror update).
int pawnEntersFile(Board *b, int s, int F) {
  int *own = sideHead(b, s)->pawnFiles();
  int *other = sideHead(b, -s)->pawnFiles();
  int d = (own[F - 1] == 0 && own[F + 1] == 0) ? -isolatedOf(b, s, F) : 0;
  if (own[F]++ == 0) {
    if (own[F - 2] == 0 && own[F - 1] > 0) d += own[F - 1] == 1 ? isolatedOf(b, s, F - 1) : doubledOf(b, s, F - 1);
    if (own[F + 2] == 0 && own[F + 1] > 0) d += own[F + 1] == 1 ? isolatedOf(b, s, F + 1) : doubledOf(b, s, F + 1);
    if (other[F] == 0) {
      int a = revalueFileRooks(b, F);
      d += s > 0 ? a : -a;
    }
  }
  return d;
}

// The pawn counts as unmake changes them back: rooks of the file are re-valued
// when a count leaves or reaches 0 while the other side has no pawn there.
void raisePawnCount(Board *b, int s, int F) {
  if (sideHead(b, s)->pawnFiles()[F]++ == 0 && sideHead(b, -s)->pawnFiles()[F] == 0) revalueFileRooks(b, F);
}
void lowerPawnCount(Board *b, int s, int F) {
  if (--sideHead(b, s)->pawnFiles()[F] == 0 && sideHead(b, -s)->pawnFiles()[F] == 0) revalueFileRooks(b, F);
}

// Cannot-win flags from the live counts after a capture.
void bareMaterialFlags(Board *b, Position *c) {
  const PieceKind *k = b->kinds;
  if (k[WHITE_PAWN].count != 0 && k[BLACK_PAWN].count != 0) return;  // neither side is bare
  auto bare = [](int pawns, int knights, int bishops, int rooks, int queens, int enemyPawns) {
    return pawns == 0 && rooks == 0 && queens == 0 &&
           (bishops + knights <= 1 || (bishops == 0 && knights <= 2 && enemyPawns == 0));
  };
  if (bare(k[WHITE_PAWN].count, k[WHITE_KNIGHT].count, k[WHITE_BISHOP].count, k[WHITE_ROOK].count,
           k[WHITE_QUEEN].count, k[BLACK_PAWN].count))
    c->statusFlags |= WHITE_CANNOT_WIN;
  if (bare(k[BLACK_PAWN].count, k[BLACK_KNIGHT].count, k[BLACK_BISHOP].count, k[BLACK_ROOK].count,
           k[BLACK_QUEEN].count, k[WHITE_PAWN].count))
    c->statusFlags |= BLACK_CANNOT_WIN;
}

// The drawish shrink leaves the score at the first capture or pawn move.
inline void removeShrink(Board *b, Position *c) {
  if (c->statusFlags & STATUS_SHRINK_IN_SCORE) {
    c->statusFlags &= ~STATUS_SHRINK_IN_SCORE;
    if (c->opponent == b->engineSide) c->score -= b->drawShrink;
    else c->score += b->drawShrink;
  }
}

// The kind a promotion makes: the queen for a non-negative move word, else by the to-byte.
PieceKind *promotionKind(Board *b, Move move, int colour) {
  if ((int16_t)move >= 0) return &b->kinds[colour > 0 ? WHITE_QUEEN : BLACK_QUEEN];
  int t = moveToByte(move) & 0xF0;
  if (colour > 0) return &b->kinds[t == 0x80 ? WHITE_ROOK : t == 0x90 ? WHITE_BISHOP : WHITE_KNIGHT];
  return &b->kinds[t == 0xF0 ? BLACK_ROOK : t == 0xE0 ? BLACK_BISHOP : BLACK_KNIGHT];
}

// A castling king's move from `from` to `to`: its rook's corner and the square
// the rook stands on after the castling.
inline int castlingRookHome(int from, int to) { return to - from == 2 ? to + 1 : to - 2; }
inline int castlingRookSquare(int from, int to) { return to - from == 2 ? to - 1 : to + 1; }

// Moves a castling rook on the board (record, square array and the mover's bits).
inline void moveRook(Board *b, int from, int to) {
  PieceRecord *r = b->squares()[from];
  b->squares()[from] = &b->sentinel;
  b->squares()[to] = r;
  r->square = to;
}

inline void relink(PieceRecord *p) {
  p->prev->next = p;
  p->next->prev = p;
}

// The rare steps of make-move, out of line: kept inline they would make every
// move pay the register saves they need.

// The promoting pawn (already on its last-rank square) becomes the new kind.
__attribute__((noinline)) void promote(const Position *P, Move move, Position *C, PieceRecord *m) {
  Board *b = P->pg;
  int from = moveFrom(move), to = realTo(move);
  PieceKind *oldKind = m->kind;
  PieceKind *newKind = promotionKind(b, move, m->colour);
  oldKind->count--;
  C->nodeFlags |= NODE_SPECIAL_MOVE;
  if (b->material == 0) C->nodeFlags |= NODE_MATERIAL_ZERO;
  newKind->count++;
  m->kind = newKind;
  m->desc = *newKind;
  int newValue = newKind->squareTable[to] + newKind->currentValue;
  C->score += m->value - newValue;
  m->value = newValue;
  b->material += newKind->middlegameValue;
  C->score -= pawnLeavesFile(b, P->side, fileOf(from));
  C->enemyPawnBits &= ~bitOf88(from);
}

// The rook's half of a castling (the king already on `to`).
__attribute__((noinline)) void castleRook(Position *C, int from, int to) {
  Board *b = C->pg;
  int rookFrom = castlingRookHome(from, to);
  int rookTo = castlingRookSquare(from, to);
  PieceRecord *r = b->squares()[rookFrom];
  moveRook(b, rookFrom, rookTo);
  C->enemyBits = (C->enemyBits & ~bitOf88(rookFrom)) | bitOf88(rookTo);
  C->nodeFlags |= NODE_SPECIAL_MOVE;
  int v = rookValue(b, r);
  C->score += r->value - v;
  r->value = v;
}

}  // namespace

static void makeMoveOnBoard(Position *P, Move move, Position *C) {
  Board *b = P->pg;
  PieceRecord **sq = b->squares();
  PieceRecord *const none = &b->sentinel;
  int from = moveFrom(move);
  int to = realTo(move);
  // only the board's own thread writes its count; reports read it meanwhile
  __atomic_store_n(&b->nodeCount, __atomic_load_n(&b->nodeCount, __ATOMIC_RELAXED) + 1, __ATOMIC_RELAXED);

  C->statusFlags = P->statusFlags;
  C->pg = b;
  C->nodeFlags = 0;
  C->side = P->opponent;
  C->opponent = P->side;
  C->ownPieces = P->ownPieces->other;
  C->parent = P;
  C->epSquare = NO_SQUARE;
  // A move from or onto a rook's corner ends that corner's castling right: a
  // rook that left and came back (or another rook on the corner) cannot castle.
  if (C->statusFlags & CASTLE_ANY) C->statusFlags &= ~(cornerRight(from) | cornerRight(to));

  PieceRecord *m = sq[from];
  sq[from] = none;
  PieceRecord *cap = sq[to];
  C->capturedPiece = cap;
  sq[to] = m;
  m->square = to;

  C->enemyBits = (P->ownBits | bitOf88(to)) & ~bitOf88(from);
  C->ownBits = P->enemyBits;
  C->ownPawnBits = P->enemyPawnBits;
  C->enemyPawnBits = P->ownPawnBits;

  C->moveCursor = C->moveList;
  C->pieceCursor = &C->ownPieces->node;
  C->pickerStage = 0;
  C->shuffleCount = 0;

  C->moverOldValue = m->value;
  m->value = m->kind->squareTable[to] + m->kind->currentValue;
  C->score = b->tempo - P->score - m->value + C->moverOldValue;
  C->pendingThreat = NO_MOVE;
  C->lastMove = move;

  const int moverKind = m->desc.kind;
  // En passant: only a diagonal pawn move onto the e.p. square that has an
  // enemy pawn behind it.
  if ((P->nodeFlags & NODE_EP_VALID) && to == P->epSquare && moverKind == PAWN && fileOf(to) != fileOf(from)) {
    int victimSquare = to + 16 * C->side;
    PieceRecord *victim = sq[victimSquare];
    if (victim->desc.kind == PAWN && victim->colour == C->side) {
      cap = victim;
      C->capturedPiece = victim;
      sq[victimSquare] = none;
      C->ownBits &= ~bitOf88(victimSquare);
      C->ownPawnBits &= ~bitOf88(victimSquare);
      C->nodeFlags |= NODE_SPECIAL_MOVE;
    }
  }

  if (cap == none) {
    C->halfMoveClock = P->halfMoveClock + 1;
    if (C->halfMoveClock >= 3) {
      if (C->halfMoveClock >= 100 && moverKind != PAWN) C->statusFlags |= C->side > 0 ? WHITE_CANNOT_WIN : BLACK_CANNOT_WIN;
      const Position *G = P->parent;
      if (G && from == realTo(G->lastMove) && to == moveFrom(G->lastMove)) {
        // the piece returns to where it stood two plies ago; it does not count
        // when it lands on the line the opponent's last move passed over
        int pf = moveFrom(P->lastMove), pt = realTo(P->lastMove);
        int s1 = stepByDifference(pt - pf), s2 = stepByDifference(pt - to), s3 = stepByDifference(to - pf);
        if (!(s1 == s2 && s2 == s3)) {
          C->shuffleCount = P->shuffleCount + 1;
          if (C->shuffleCount >= 6) {
            C->score = 0;
            C->statusFlags |= STATUS_RESULT_FIXED;
            // the child record stays complete (game moves may continue from it)
            if (moverKind == KING) C->statusFlags &= C->opponent > 0 ? ~CASTLE_WHITE : ~CASTLE_BLACK;
            C->allBits = C->ownBits | C->enemyBits;
            return;
          }
        }
      }
    }
  } else {
    int capSquare = cap->square;
    C->score -= cap->value;
    cap->prev->next = cap->next;
    cap->next->prev = cap->prev;
    cap->square = capSquare + 8;
    cap->kind->count--;
    b->menCount--;
    if (cap->desc.kind == PAWN) {
      C->ownPawnBits &= ~bitOf88(capSquare);
      C->score += pawnLeavesFile(b, cap->colour, fileOf(to));
      const int16_t *terms = sideHead(b, cap->colour)->pawnTerms;
      C->score -= terms[to] + terms[to + 8];
    } else {
      b->material -= cap->desc.middlegameValue;
      if (b->material == 0) C->nodeFlags |= NODE_MATERIAL_ZERO;
    }
    C->ownBits &= ~bitOf88(capSquare);
    // a pawn that captures without promoting changes file (promotion is decided
    // by the target square's rank, here and in unmakeMove)
    if (moverKind == PAWN && !isLastRank(to)) {
      C->score -= pawnEntersFile(b, P->side, fileOf(to));
      C->score -= pawnLeavesFile(b, P->side, fileOf(from));
    }
    if (cap->desc.kind == KING) {
      C->score = -MATE_SCORE;
      C->statusFlags |= STATUS_RESULT_FIXED;
      C->allBits = C->ownBits | C->enemyBits;
      return;
    }
    bareMaterialFlags(b, C);
    C->halfMoveClock = 0;
    removeShrink(b, C);
  }

  switch (moverKind) {
    case PAWN: {
      if (isLastRank(to)) {
        promote(P, move, C, m);
      } else {
        C->enemyPawnBits = (C->enemyPawnBits | bitOf88(to)) & ~bitOf88(from);
        if (to - from == 32 * P->side) {
          C->nodeFlags |= NODE_EP_VALID;
          C->epSquare = to - 16 * P->side;
        }
      }
      if (cap == none) {
        const int16_t *terms = P->ownPieces->pawnTerms;
        C->score += terms[from] - terms[to];
      }
      C->halfMoveClock = 0;
      removeShrink(b, C);
      break;
    }
    case ROOK: {
      int v = rookValue(b, m);
      C->score += m->value - v;
      m->value = v;
      break;
    }
    case KING: {
      if (to - from == 2 || to - from == -2) castleRook(C, from, to);
      C->statusFlags &= P->side > 0 ? ~CASTLE_WHITE : ~CASTLE_BLACK;
      break;
    }
    default: break;
  }
  C->allBits = C->ownBits | C->enemyBits;
}

void makeMove(Position *P, Move move, Position *C) {
  assert(P && C && P != C && P->pg);
  makeMoveOnBoard(P, move, C);
  // a captured king ends make-move early, with the board left for unmake alone
  assert(C->capturedPiece->desc.kind == KING || boardIsOk(C, false));
}

namespace {

// The rare steps of unmake-move are out of line too, each ending the unmake:
// the usual moves then restore the board with no registers to save.

// The pawn-file counts that a capture by or of a pawn changed, then the
// mover's value (last: a rook re-valued on the file gets its old value back).
__attribute__((noinline)) void restorePawnFiles(Position *C, PieceRecord *m, PieceRecord *cap, int from, int to) {
  Board *b = C->pg;
  if (cap->desc.kind == PAWN) raisePawnCount(b, cap->colour, fileOf(to));
  else b->material += cap->desc.middlegameValue;
  if (m->desc.kind == PAWN && !isLastRank(to)) {
    raisePawnCount(b, C->opponent, fileOf(from));
    lowerPawnCount(b, C->opponent, fileOf(to));
  }
  m->value = C->moverOldValue;
}

// The captured man back in its list and counts, then the mover's value.
inline void restoreCaptureAndValue(Position *C, PieceRecord *m, PieceRecord *cap, int from, int to) {
  Board *b = C->pg;
  if (cap != &b->sentinel) {
    relink(cap);
    cap->square -= 8;
    cap->kind->count++;
    b->menCount++;
    if (cap->desc.kind == PAWN || m->desc.kind == PAWN) {
      restorePawnFiles(C, m, cap, from, to);
      return;
    }
    b->material += cap->desc.middlegameValue;
  }
  m->value = C->moverOldValue;
}

// Castling's rook, the en-passant victim's square or the promoted pawn, then
// the rest of the unmake.
__attribute__((noinline)) void undoSpecialMove(Position *C, PieceRecord *m, PieceRecord *cap, int from, int to) {
  Board *b = C->pg;
  PieceRecord **sq = b->squares();
  int kind = m->desc.kind;
  if (kind == KING) {
    if (to - from == 2 || to - from == -2) {
      int rookFrom = castlingRookSquare(from, to);
      PieceRecord *r = sq[rookFrom];
      moveRook(b, rookFrom, castlingRookHome(from, to));
      r->value = rookValue(b, r);
    }
  } else if (kind == PAWN) {
    sq[to] = &b->sentinel;
    sq[to + 16 * C->side] = cap;
  } else {
    int moverColour = C->opponent;
    m->kind->count--;
    b->material -= m->desc.middlegameValue;
    PieceKind *pawn = &b->kinds[moverColour > 0 ? WHITE_PAWN : BLACK_PAWN];
    m->kind = pawn;
    m->desc = *pawn;
    pawn->count++;
    raisePawnCount(b, moverColour, fileOf(from));
  }
  restoreCaptureAndValue(C, m, cap, from, to);
}

}  // namespace

void unmakeMove(Position *C) {
  assert(C && C->pg && C->capturedPiece);
  Board *b = C->pg;
  PieceRecord **sq = b->squares();
  int from = moveFrom(C->lastMove);
  int to = realTo(C->lastMove);
  PieceRecord *m = sq[to];
  PieceRecord *cap = C->capturedPiece;
  sq[from] = m;
  sq[to] = cap;
  m->square = from;
  if (C->nodeFlags & NODE_SPECIAL_MOVE) undoSpecialMove(C, m, cap, from, to);
  else restoreCaptureAndValue(C, m, cap, from, to);
  assert(!C->parent || C->parent->pg != b || boardIsOk(C->parent, false));
}

void updateCastlingRights(Position *pos) {
  assert(pos && pos->pg);
  Board *b = pos->pg;
  auto holds = [b](int sq, int code) { return b->at(sq)->kind == &b->kinds[code]; };
  if (pos->statusFlags & CASTLE_WHITE) {
    if (!holds(0x00, WHITE_ROOK)) pos->statusFlags &= ~CASTLE_WHITE_LONG;
    if (!holds(0x07, WHITE_ROOK)) pos->statusFlags &= ~CASTLE_WHITE_SHORT;
  }
  if (pos->statusFlags & CASTLE_BLACK) {
    if (!holds(0x70, BLACK_ROOK)) pos->statusFlags &= ~CASTLE_BLACK_LONG;
    if (!holds(0x77, BLACK_ROOK)) pos->statusFlags &= ~CASTLE_BLACK_SHORT;
  }
}

void initPosition(Position *pos, Board *board) {
  assert(pos && board);
  pos->childKillers[0] = NO_MOVE;
  pos->pg = board;
}
