// Pseudo-legal move generation into a Position's move stack: the tactical
// stage (captures, e.p., pushes to the 7th rank and queen promotions) and the
// quiet moves of one piece (castling, under-promotions, the rest).
#include "engine/board/moves/movegen.h"

#include <cassert>

#include "engine/board/moves/attacks.h"
#include "engine/board/tables/bitboard.h"
#include "platform/platform.h"

namespace {

// Pushes a move from `from` to every square of the set, lowest bit first.
inline void pushSet(Position *pos, int from, uint64_t set) {
  for (; set; set &= set - 1) pushMove(pos, makeMoveWord(from, sq64To88[lowestBit(set)]));
}

// The same, highest bit first.
inline void pushSetFromTop(Position *pos, int from, uint64_t set) {
  while (set) {
    int s = highestBit(set);
    pushMove(pos, makeMoveWord(from, sq64To88[s]));
    set ^= squareBit[s];
  }
}

// Pushes the three under-promotions (rook, bishop, knight) onto `to`; the
// to-square lies one, two or three ranks beyond the last rank.
inline void pushUnderPromotions(Position *pos, int from, int to, int ahead) {
  pushMove(pos, makeMoveWord(from, to + ahead));
  pushMove(pos, makeMoveWord(from, to + 2 * ahead));
  pushMove(pos, makeMoveWord(from, to + 3 * ahead));
}

void genKingCaptures(Position *pos, const PieceRecord *p) {
  Board *b = pos->pg;
  if (pos->nodeFlags & NODE_EP_VALID) {
    int ep = pos->epSquare;
    // only with the enemy pawn that made the double step behind the square
    // (a record that carried the flag over, e.g. after a null move, has none)
    if (onBoard(ep) && b->at(ep - 16 * pos->side)->desc.code == (pos->side > 0 ? BLACK_PAWN : WHITE_PAWN)) {
      if (pos->side < 0) {
        if (b->at(ep + 15)->desc.code == BLACK_PAWN) pushMove(pos, makeMoveWord(ep + 15, ep));
        if (b->at(ep + 17)->desc.code == BLACK_PAWN) pushMove(pos, makeMoveWord(ep + 17, ep));
      } else {
        if (b->at(ep - 15)->desc.code == WHITE_PAWN) pushMove(pos, makeMoveWord(ep - 15, ep));
        if (b->at(ep - 17)->desc.code == WHITE_PAWN) pushMove(pos, makeMoveWord(ep - 17, ep));
      }
    }
  }
  pushSet(pos, p->square, kingAttacks[sq88To64[p->square]] & pos->enemyBits);
}

}  // namespace

void resetPicker(Position *pos) {
  assert(pos && pos->ownPieces);
  pos->pickerStage = 0;
  pos->moveCursor = pos->moveList;
  pos->pieceCursor = &pos->ownPieces->node;
}

void genCaptures(Position *pos) {
  assert(pos && pos->pg && pos->ownPieces);
  Board *b = pos->pg;
  const PieceRecord *end = &b->sentinel;
  uint64_t enemy = pos->enemyBits, all = pos->allBits;
  // nothing below reads the piece cursor: it is set once, past the list, at the end
  for (PieceRecord *p = pos->ownPieces->node.next; p != end; p = p->next) {
    int from = p->square;
    int f64 = sq88To64[from];
    switch (p->desc.code) {
      case WHITE_KING:
      case BLACK_KING: genKingCaptures(pos, p); break;
      case WHITE_QUEEN:
      case BLACK_QUEEN: pushSet(pos, from, queenAttacks(f64, all) & enemy); break;
      case WHITE_ROOK:
      case BLACK_ROOK: pushSet(pos, from, rookAttacks(f64, all) & enemy); break;
      case WHITE_BISHOP:
      case BLACK_BISHOP: pushSet(pos, from, bishopAttacks(f64, all) & enemy); break;
      case WHITE_KNIGHT:
      case BLACK_KNIGHT: pushSet(pos, from, knightAttacks[f64] & enemy); break;
      case WHITE_PAWN:
        if (from > 79 && b->at(from + 16) == end) pushMove(pos, makeMoveWord(from, from + 16));
        pushSet(pos, from, whitePawnAttacks[f64] & enemy);  // the capture towards the a-file first
        break;
      case BLACK_PAWN:
        if (from < 48 && b->at(from - 16) == end) pushMove(pos, makeMoveWord(from, from - 16));
        pushSetFromTop(pos, from, blackPawnAttacks[f64] & enemy);  // the capture towards the h-file first
        break;
      default: platformAssertFailed("FALSE", __FILE__, __LINE__);
    }
  }
  pos->pieceCursor = &b->sentinel;
}

bool castlingAllowed(const Position *pos, int kingSquare, int direction) {
  assert(pos && onBoard(kingSquare) && (direction == 1 || direction == -1));
  Board *b = pos->pg;
  const PieceRecord *end = &b->sentinel;
  int side = pos->side;
  int rookCode = side > 0 ? WHITE_ROOK : BLACK_ROOK;
  if (!onBoard(kingSquare)) return false;
  if (direction > 0) {
    if (!(pos->statusFlags & (side > 0 ? CASTLE_WHITE_SHORT : CASTLE_BLACK_SHORT))) return false;
    if (b->at(kingSquare + 1) != end || b->at(kingSquare + 2) != end) return false;
    const PieceRecord *rook = b->at(kingSquare + 3);
    if (rook->desc.code != rookCode || rook->colour != side) return false;
    return !squareAttacked(b, kingSquare, -side, pos->allBits) &&
           !squareAttacked(b, kingSquare + 1, -side, pos->allBits);
  }
  if (!(pos->statusFlags & (side > 0 ? CASTLE_WHITE_LONG : CASTLE_BLACK_LONG))) return false;
  if (b->at(kingSquare - 1) != end || b->at(kingSquare - 2) != end || b->at(kingSquare - 3) != end) return false;
  const PieceRecord *rook = b->at(kingSquare - 4);
  if (rook->desc.code != rookCode || rook->colour != side) return false;
  return !squareAttacked(b, kingSquare, -side, pos->allBits) &&
         !squareAttacked(b, kingSquare - 1, -side, pos->allBits);
}

void genPieceQuietMoves(Position *pos) {
  assert(pos && pos->pg && pos->pieceCursor);
  Board *b = pos->pg;
  const PieceRecord *end = &b->sentinel;
  const PieceRecord *p = pos->pieceCursor;
  uint64_t empty = ~pos->allBits;
  int from = p->square;
  if (!onBoard(from)) return;
  int f64 = sq88To64[from];
  switch (p->desc.code) {
    case WHITE_KING:
    case BLACK_KING:
      if (castlingAllowed(pos, from, 1)) pushMove(pos, makeMoveWord(from, from + 2));
      if (castlingAllowed(pos, from, -1)) pushMove(pos, makeMoveWord(from, from - 2));
      pushSet(pos, from, kingAttacks[f64] & empty);
      break;
    case WHITE_QUEEN:
    case BLACK_QUEEN: pushSet(pos, from, queenAttacks(f64, pos->allBits) & empty); break;
    case WHITE_ROOK:
    case BLACK_ROOK: pushSet(pos, from, rookAttacks(f64, pos->allBits) & empty); break;
    case WHITE_BISHOP:
    case BLACK_BISHOP: pushSet(pos, from, bishopAttacks(f64, pos->allBits) & empty); break;
    case WHITE_KNIGHT:
    case BLACK_KNIGHT: pushSet(pos, from, knightAttacks[f64] & empty); break;
    case WHITE_PAWN:
      if (from < 80) {
        if (b->at(from + 16) == end) {
          pushMove(pos, makeMoveWord(from, from + 16));
          if (from < 0x18 && b->at(from + 32) == end) pushMove(pos, makeMoveWord(from, from + 32));
        }
      } else if (rankOf(from) == 6) {
        if (b->at(from + 16) == end) pushUnderPromotions(pos, from, from + 16, 16);
        if (b->at(from + 15)->colour < 0) pushUnderPromotions(pos, from, from + 15, 16);
        if (b->at(from + 17)->colour < 0) pushUnderPromotions(pos, from, from + 17, 16);
      }
      break;
    case BLACK_PAWN:
      if (from >= 48) {
        if (b->at(from - 16) == end) {
          pushMove(pos, makeMoveWord(from, from - 16));
          if (from >= 0x60 && b->at(from - 32) == end) pushMove(pos, makeMoveWord(from, from - 32));
        }
      } else if (rankOf(from) == 1) {
        if (b->at(from - 16) == end) pushUnderPromotions(pos, from, from - 16, -16);
        if (b->at(from - 15)->colour > 0) pushUnderPromotions(pos, from, from - 15, -16);
        if (b->at(from - 17)->colour > 0) pushUnderPromotions(pos, from, from - 17, -16);
      }
      break;
    default: platformAssertFailed("FALSE", __FILE__, __LINE__);
  }
}
