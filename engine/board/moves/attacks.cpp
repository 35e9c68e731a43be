// Board queries shared by the generators, make-move and the searches: the
// squares between two squares, "is this square attacked", and the attacker
// search of the futility and threat tests.
#include "engine/board/moves/attacks.h"

#include <cassert>

#include "engine/board/moves/movegen.h"
#include "engine/board/tables/bitboard.h"
#include "platform/platform.h"

namespace {

constexpr int SLIDER_CAPABILITY = 2 | 4 | 8;  // queen, rook, bishop

// Would a piece of this capability on square `from` attack `target`, given the
// occupancy? Both squares must be on the board.
inline bool reaches(int capability, int from, int target, uint64_t occupancy) {
  if (!(attackCapability(target - from) & capability)) return false;
  if (capability & SLIDER_CAPABILITY) return (squaresBetween(from, target) & occupancy) == 0;
  return true;
}

// Walks a side's list from its first piece for a piece that attacks the square.
// Out of line: the walk below seldom needs it and would pay its register saves.
__attribute__((noinline)) bool defended(const Board *b, int colour, int square, uint64_t occupancy) {
  const PieceListHead *h = colour > 0 ? &b->white : &b->black;
  for (const PieceRecord *d = h->node.next; d != &b->sentinel; d = d->next) {
    if (!onBoard(d->square)) continue;
    if (reaches(d->desc.capability, d->square, square, occupancy)) return true;
  }
  return false;
}

// The piece part of findAttacker: the walk over the enemy list. Kept out of
// line so that the pawn answers above it need no register saves.
__attribute__((noinline)) int findPieceAttacker(int square, const PieceRecord *piece, uint64_t occupancy, int limit) {
  const Board *b = piece->board;
  int code = piece->desc.code;
  int colour = piece->colour;
  int pieceClass = piece->desc.pieceClass;
  int capability = piece->desc.capability;
  if (code == WHITE_PAWN || code == BLACK_PAWN) {
    // a pawn given a square on its last rank is tested as a queen of its colour
    const PieceRecord *queen = &b->pieces[colour > 0 ? 31 : 1];
    pieceClass = queen->desc.pieceClass;
    capability = queen->desc.capability;
  }
  if (limit == 6) limit = pieceClass;

  // Enemy pieces from the king backwards: most valuable first, while above the limit.
  const PieceRecord *e = &b->pieces[colour > 0 ? 0 : 32];
  for (; e->colour == -colour && e->desc.pieceClass > limit; e = e->prev) {
    if (!onBoard(e->square)) continue;  // a captured king keeps its links
    if (!reaches(capability, square, e->square, occupancy)) continue;
    if (e->desc.pieceClass > pieceClass) return e->square;
    if (!defended(b, e->colour, e->square, occupancy)) return e->square;
  }
  return NO_SQUARE;
}

}  // namespace

bool squareAttacked(const Board *b, int target, int byColour, uint64_t occupancy) {
  assert(b && (byColour == 1 || byColour == -1));
  if (!onBoard(target)) return false;
  PieceRecord *const *sq = b->squareArray + 128;
  // pawns: geometry on the 0x88 board (the guard entries are never a pawn)
  if (byColour > 0) {
    if (sq[target - 15]->desc.code == WHITE_PAWN || sq[target - 17]->desc.code == WHITE_PAWN) return true;
  } else {
    if (sq[target + 15]->desc.code == BLACK_PAWN || sq[target + 17]->desc.code == BLACK_PAWN) return true;
  }
  int t = sq88To64[target];
  uint64_t hits = knightAttacks[t] & occupancy;
  for (; hits; hits &= hits - 1) {
    const PieceRecord *p = sq[sq64To88[lowestBit(hits)]];
    if (p->colour == byColour && (p->desc.capability & 16)) return true;
  }
  hits = kingAttacks[t] & occupancy;
  for (; hits; hits &= hits - 1) {
    const PieceRecord *p = sq[sq64To88[lowestBit(hits)]];
    if (p->colour == byColour && (p->desc.capability & 1)) return true;
  }
  hits = rookAttacks(t, occupancy) & occupancy;
  for (; hits; hits &= hits - 1) {
    const PieceRecord *p = sq[sq64To88[lowestBit(hits)]];
    if (p->colour == byColour && (p->desc.capability & (2 | 4))) return true;
  }
  hits = bishopAttacks(t, occupancy) & occupancy;
  for (; hits; hits &= hits - 1) {
    const PieceRecord *p = sq[sq64To88[lowestBit(hits)]];
    if (p->colour == byColour && (p->desc.capability & (2 | 8))) return true;
  }
  return false;
}

bool kingAttacked(const Position *pos, int colour) {
  assert(pos && pos->pg && (colour == 1 || colour == -1));
  Board *b = pos->pg;
  const PieceRecord *king = &b->pieces[colour > 0 ? 32 : 0];
  // A king that is off the board has been captured: the position is lost for it.
  if (!onBoard(king->square)) return true;
  return squareAttacked(b, king->square, -colour, pos->allBits);
}

int findAttacker(int square, const PieceRecord *piece, uint64_t occupancy, int limit) {
  assert(piece && piece->board);
  if (!onBoard(square)) return NO_SQUARE;
  Board *b = piece->board;
  PieceRecord *const *sq = b->squareArray + 128;
  int code = piece->desc.code;
  int rank = rankOf(square);

  if (code == WHITE_PAWN && rank != 7) {
    const PieceRecord *l = sq[square + 15], *r = sq[square + 17];
    auto target = [limit](const PieceRecord *x) {
      return limit == 11 ? x->desc.code == BLACK_KING : x->desc.code <= BLACK_KNIGHT;
    };
    if (target(l)) return r->desc.code < l->desc.code ? square + 17 : square + 15;
    if (target(r)) return square + 17;
    if (rank == 6 && sq[square + 16] == &b->sentinel) return square + 16;
    return NO_SQUARE;
  }
  if (code == BLACK_PAWN && rank != 0) {
    const PieceRecord *l = sq[square - 15], *r = sq[square - 17];
    auto target = [limit](const PieceRecord *x) {
      int c = x->desc.code;
      return limit == 11 ? c == WHITE_KING : (c >= WHITE_KNIGHT && c <= WHITE_KING);
    };
    // the empty code 6 and the off-board record never count as "higher"
    if (target(l)) return (target(r) && r->desc.code > l->desc.code) ? square - 17 : square - 15;
    if (target(r)) return square - 17;
    if (rank == 1 && sq[square - 16] == &b->sentinel) return square - 16;
    return NO_SQUARE;
  }

  return findPieceAttacker(square, piece, occupancy, limit);
}
