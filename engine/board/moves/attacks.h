// Attack look-ups on the board: who attacks a square, the squares between two
// squares, and whether a king stands attacked.
#pragma once
#include <cassert>
#include <cstdint>

#include "engine/board/position.h"
#include "engine/board/tables/bitboard.h"
#include "engine/board/tables/geometry.h"
#include "platform/platform.h"

// Square of an enemy piece that `piece` would attack from `square` (class above
// `limit`; 6 = the piece's own class, 11 = the enemy king only), or 12.
// With limit 11 a pawn on its 7th rank may answer its free push square: a check
// is given only when the answer is the enemy king's square.
int findAttacker(int square, const PieceRecord *piece, uint64_t occupancy, int limit);
// The squares strictly between two squares of one line (0x88 squares, on the board, apart).
inline uint64_t squaresBetween(int from, int to) {
  assert(onBoard(from) && onBoard(to) && from != to);
  int dir = directionByDifference(to - from);
  ENGINE_ASSERT(dir >= 0 && dir < 8);
  return rays[dir][sq88To64[from]] & rays[dir ^ 1][sq88To64[to]];
}
// Every square from which some piece would attack `target` (0x88, on the
// board) directly, given the occupancy: the lines up to the first man in each
// direction and the knight squares. A cheap superset of any side's attackers.
inline uint64_t attackerSquares(int target, uint64_t occupancy) {
  int t = sq88To64[target];
  return queenAttacks(t, occupancy) | knightAttacks[t];
}
// The records standing on the squares of a set whose piece could attack
// `target` by its move geometry (lines taken as empty), as a mask of record
// indexes (bit i for Board::pieces[i]). Filtering here spares the list-order
// walk the men that never reach the target. Their squares are added to
// `*found` when it is given.
inline uint64_t geometricAttackerRecords(const Board *b, uint64_t squares, int target, uint64_t *found = nullptr) {
  assert(b && onBoard(target));
  uint64_t records = 0;
  for (; squares; squares &= squares - 1) {
    const int sq = sq64To88[lowestBit(squares)];
    const PieceRecord *p = pieceOn(b, sq);
    if (attackCapability(target - sq) & p->desc.capability) {
      records |= 1ULL << (p - b->pieces);
      if (found) *found |= squares & -squares;
    }
  }
  return records;
}
// Takes the next record of such a mask in its side's list order: a side's list
// runs in record order, up the indexes for White and down them for Black.
inline const PieceRecord *takeInListOrder(const Board *b, uint64_t *records, int colour) {
  int i = colour > 0 ? lowestBit(*records) : highestBit(*records);
  *records &= ~(1ULL << i);
  return &b->pieces[i];
}
// Is the square attacked by a piece of the given colour (sliders need an empty
// path in `occupancy`)? False for a square off the board.
bool squareAttacked(const Board *b, int square, int byColour, uint64_t occupancy);
// Is the king of the given colour attacked on this board? (A captured king counts as attacked.)
bool kingAttacked(const Position *pos, int colour);

// Would the piece attack `target` from where it stands (sliders need an empty
// path in `occ`)? A piece off the board attacks nothing.
inline bool pieceAttacks(const PieceRecord *p, int target, uint64_t occ) {
  int sq = p->square;
  if (!onBoard(sq) || !onBoard(target) || sq == target) return false;
  int cap = p->desc.capability;
  if (!(attackCapability(target - sq) & cap)) return false;
  if (cap & (2 | 4 | 8)) return (squaresBetween(sq, target) & occ) == 0;
  return true;
}
// Could a piece of this capability reach `target` from `from` on an empty board?
inline bool couldReach(const PieceRecord *p, int from, int target) {
  if (!onBoard(from) || !onBoard(target) || from == target || p->colour == 0) return false;
  return (attackCapability(target - from) & p->desc.capability) != 0;
}
// Does a piece of the list of `head` attack `target`?
inline bool listAttacks(const Board *b, const PieceListHead *head, int target, uint64_t occ) {
  for (const PieceRecord *p = head->node.next; p != &b->sentinel; p = p->next)
    if (pieceAttacks(p, target, occ)) return true;
  return false;
}
// Is the side to move's king attacked by the opponent?
inline bool sideInCheck(const Position *pos) {
  const Board *b = pos->pg;
  return listAttacks(b, pos->ownPieces->other, kingSquare(b, pos->side), pos->allBits);
}
