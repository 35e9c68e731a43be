// Pseudo-legality of an arbitrary move word: a stored hash move may come from
// another position (a key collision or a torn entry), so before it is made it
// must be one of the moves the generators would produce here.
#include "engine/board/moves/legality.h"

#include <cassert>

#include "engine/board/moves/attacks.h"
#include "engine/board/moves/movegen.h"
#include "engine/board/tables/bitboard.h"

namespace {

// Is the to-byte a well-formed under-promotion of this colour? Gives the real square.
bool underPromotionSquare(int toByte, int colour, int *to) {
  int rankBand = toByte & 0xF0, file = toByte & 0x0F;
  if (file > 7) return false;
  if (colour > 0) {
    if (rankBand != 0x80 && rankBand != 0x90 && rankBand != 0xA0) return false;
    *to = 0x70 + file;
  } else {
    if (rankBand != 0xD0 && rankBand != 0xE0 && rankBand != 0xF0) return false;
    *to = file;
  }
  return true;
}

bool pawnMoveIsPseudoLegal(const Position *pos, int from, int to, bool under) {
  Board *b = pos->pg;
  const PieceRecord *none = &b->sentinel;
  int side = pos->side;
  int d = (to - from) * side;  // forward difference for the mover
  int lastRank = side > 0 ? 7 : 0;
  if (under && rankOf(to) != lastRank) return false;
  const PieceRecord *t = b->at(to);
  if (d == 16) return t == none;
  if (d == 32) {
    int homeRank = side > 0 ? 1 : 6;
    return rankOf(from) == homeRank && t == none && b->at(from + 16 * side) == none;
  }
  if (d == 15 || d == 17) {
    if (t->colour == -side) return true;
    // e.p.: onto the valid e.p. square with the enemy pawn behind it
    if (!under && t == none && (pos->nodeFlags & NODE_EP_VALID) && to == pos->epSquare) {
      const PieceRecord *victim = b->at(to - 16 * side);
      return victim->desc.kind == PAWN && victim->colour == -side;
    }
  }
  return false;
}

}  // namespace

bool isPseudoLegal(const Position *pos, Move move) {
  assert(pos && pos->pg);
  Board *b = pos->pg;
  int from = moveFrom(move);
  int toByte = moveToByte(move);
  if (!onBoard(from)) return false;
  const PieceRecord *p = b->at(from);
  int side = pos->side;
  if (p->colour != side) return false;

  bool under = (toByte & 0x80) != 0;
  int to = toByte;
  if (under) {
    if (p->desc.kind != PAWN || !underPromotionSquare(toByte, side, &to)) return false;
  } else if (!onBoard(to)) {
    return false;
  }
  const PieceRecord *t = b->at(to);
  if (t->colour == side) return false;

  int d = to - from;
  int cap = p->desc.capability;
  switch (p->desc.kind) {
    case PAWN: return pawnMoveIsPseudoLegal(pos, from, to, under);
    case KNIGHT: return (attackCapability(d) & cap) != 0;
    case KING:
      if (d == 2 || d == -2) return castlingAllowed(pos, from, d > 0 ? 1 : -1);
      return (attackCapability(d) & cap) != 0;
    case BISHOP:
    case ROOK:
    case QUEEN: return (attackCapability(d) & cap) != 0 && (squaresBetween(from, to) & pos->allBits) == 0;
    default: return false;
  }
}
