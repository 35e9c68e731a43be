// Move ordering: capture keys, the history order of quiet moves, the staged
// move picker and the seeding helpers of the searches.
#include "engine/search/ordering/picker.h"

#include <cassert>

#include "engine/board/moves/attacks.h"
#include "engine/board/moves/movegen.h"
#include "engine/board/tables/bitboard.h"
#include "engine/search/hash.h"
#include "engine/search/ordering/history.h"
#include "platform/platform.h"

namespace {

struct KeyedMove {
  int key;
  Move move;
};

// Stable insertion sort by ascending key.
void sortAscending(KeyedMove *e, int n) {
  for (int i = 1; i < n; i++) {
    KeyedMove x = e[i];
    int j = i;
    for (; j > 0 && e[j - 1].key > x.key; j--) e[j] = e[j - 1];
    e[j] = x;
  }
}

// These two are kept out of line so that the picker stays small enough to be inlined.
__attribute__((noinline)) bool listed(const PickerMemory *seen, Move m) {
  for (int i = 0; i < seen->count; i++)
    if (seen->moves[i] == m) return true;
  return false;
}

__attribute__((noinline)) void remember(PickerMemory *seen, Move m) {
  if (seen->count == PICKER_MEMORY_SIZE) return;
  seen->moves[seen->count++] = m;
  seen->filter |= pickerFilterBit(m);
}

// Most generated moves are told apart by the filter alone.
inline bool remembered(const PickerMemory *seen, Move m) {
  return (seen->filter & pickerFilterBit(m)) && listed(seen, m);
}

inline bool isLiveOwnPiece(const Position *pos, const PieceRecord *p) {
  return p && p != &pos->pg->sentinel && p->colour == pos->side && onBoard(p->square);
}

}  // namespace

int captureKey(const Position *pos, Move move) {
  Board *b = pos->pg;
  int from = moveFrom(move), to = realTo(move);
  const PieceRecord *mover = b->at(from);
  const PieceRecord *target = b->at(to);
  int key = (target->colour != 0 ? target->value : 0) - mover->desc.kind;
  if (mover->desc.kind == PAWN && (rankOf(to) == 7 || rankOf(to) == 0)) {
    const int16_t *table = mover->kind->squareTable;
    key += table[to] - table[from];
  }
  if (to == realTo(pos->pendingThreat)) key += 1000;
  else if (to == realTo(pos->lastMove)) key += 500;
  return key;
}

// Not vectorized: the lists are a few moves long, shorter than the vector code's set-up.
__attribute__((optimize("no-tree-vectorize"))) void orderCaptures(Position *pos) {
  assert(pos && pos->moveCursor >= pos->moveList);
  int n = (int)(pos->moveCursor - pos->moveList);
  if (n < 2) return;  // a single move is in order
  KeyedMove e[MOVE_LIST_SIZE];
  // taken from the top: among equal keys the later-generated move ends up lower
  for (int i = 0; i < n; i++) {
    Move m = pos->moveList[n - 1 - i];
    e[i] = {captureKey(pos, m), m};
  }
  sortAscending(e, n);
  for (int i = 0; i < n; i++) pos->moveList[i] = e[i].move;
}

int historyKey(const Position *pos, Move move) {
  Board *b = pos->pg;
  int from = moveFrom(move), to = realTo(move);
  const PieceRecord *p = b->at(from);
  const int16_t *table = p->kind->squareTable;
  return (table[to] - table[from]) / 2 + historyCount(p->desc.code, to);
}

void sortByHistory(Position *pos) {
  int n = (int)(pos->moveCursor - pos->moveList);
  KeyedMove e[MOVE_LIST_SIZE];
  Move negative[MOVE_LIST_SIZE];
  int kept = 0, neg = 0;
  for (int i = n - 1; i >= 0; i--) {  // off the top, one at a time
    Move m = pos->moveList[i];
    int key = historyKey(pos, m);
    if (key < 0) negative[neg++] = m;
    else e[kept++] = {key, m};
  }
  sortAscending(e, kept);
  Move *out = pos->moveList;
  for (int i = neg - 1; i >= 0; i--) *out++ = negative[i];  // their stack order from before
  for (int i = 0; i < kept; i++) *out++ = e[i].move;
}

void genQuietMoves(Position *pos) {
  const PieceRecord *end = &pos->pg->sentinel;
  const PieceRecord *skip = (pos->nodeFlags & NODE_THREAT) ? pos->threatTarget : nullptr;
  for (PieceRecord *p = pos->ownPieces->node.next; p != end; p = p->next) {
    if (p == skip) continue;
    pos->pieceCursor = p;
    genPieceQuietMoves(pos);
  }
  pos->pieceCursor = &pos->pg->sentinel;
  sortByHistory(pos);
}

Move pickMove(Position *pos) { return pickMove(pos, nullptr); }

// Fills the empty move stack from the next stage; false once the stages are done.
// Kept out of line: most picks only pop the stack, and inlining the generators
// would make every pick pay their register saves.
static __attribute__((noinline)) bool nextPickerStage(Position *pos) {
  const PieceRecord *end = &pos->pg->sentinel;
  for (;;) {
    if (pos->moveCursor > pos->moveList) return true;
    switch (pos->pickerStage) {
      case 0:
        genCaptures(pos);
        orderCaptures(pos);
        pos->pickerStage = 1;
        break;
      case 1:
        if (pos->nodeFlags & NODE_CAPTURES_ONLY) {
          pos->pickerStage = 4;
          break;
        }
        if ((pos->nodeFlags & NODE_THREAT) && isLiveOwnPiece(pos, pos->threatTarget)) {
          pos->pieceCursor = pos->threatTarget;
          genPieceQuietMoves(pos);
        }
        pos->pieceCursor = pos->ownPieces->node.next;
        pos->pickerStage = 3;
        break;
      case 3:
        if (pos->nodeFlags & NODE_SORTED_QUIETS) {
          genQuietMoves(pos);
          pos->quietStart = pos->moveCursor;
          pos->pickerStage = 4;
          break;
        }
        {
          // piece by piece until one of them has a move (the threatened piece went first)
          const PieceRecord *skip = (pos->nodeFlags & NODE_THREAT) ? pos->threatTarget : nullptr;
          for (;;) {
            PieceRecord *p = pos->pieceCursor;
            if (p == end) {
              pos->pickerStage = 4;
              return false;
            }
            if (p != skip) genPieceQuietMoves(pos);
            pos->pieceCursor = p->next;
            if (pos->moveCursor > pos->moveList) return true;
          }
        }
      default: return false;
    }
  }
}

Move pickMove(Position *pos, PickerMemory *seen) {
  for (;;) {
    if (pos->moveCursor <= pos->moveList && !nextPickerStage(pos)) return NO_MOVE;
    Move m = *--pos->moveCursor;
    if (pos->pickerStage == 0) {  // a candidate pushed before generation
      if (seen) remember(seen, m);
      return m;
    }
    if (seen && remembered(seen, m)) continue;
    return m;
  }
}

bool isValidSeed(const Position *pos, Move move) {
  Board *b = pos->pg;
  int from = moveFrom(move), to = moveToByte(move);
  if ((int16_t)move < 0) return false;  // under-promotions are never seeded
  if (!onBoard(from) || !onBoard(to)) return false;
  const PieceRecord *p = b->at(from);
  const PieceRecord *t = b->at(to);
  int side = pos->side;
  if (p->colour != side || t->colour == side) return false;
  int d = to - from;
  int cap = p->desc.capability;
  switch (p->desc.kind) {
    case PAWN:
      if (d == 16 * side + 1 || d == 16 * side - 1) return t->colour != 0;  // never e.p.
      if (t->colour != 0) return false;
      if (d == 16 * side) return true;
      if (d == 32 * side) {
        int r = rankOf(from);
        return (side > 0 ? r == 1 : r == 6) && b->at(from + 16 * side) == &b->sentinel;
      }
      return false;
    case KNIGHT:
    case KING: return (attackCapability(d) & cap) != 0;  // castling is never seeded
    default:
      return (attackCapability(d) & cap) != 0 && (squaresBetween(from, to) & pos->allBits) == 0;
  }
}

void seedRecaptures(Position *pos, int target) {
  if (!onBoard(target)) return;
  // Only the first man on each line and the knight squares can reach the
  // target; they are taken in the order of the side's list.
  if (!(couldAttack[sq88To64[target]] & pos->ownBits)) return;
  uint64_t near = attackerSquares(target, pos->allBits) & pos->ownBits;
  if (!near) return;
  const Board *b = pos->pg;
  uint64_t records = geometricAttackerRecords(b, near, target);
  int found[2], n = 0;
  while (records && n < 2) found[n++] = takeInListOrder(b, &records, pos->side)->square;
  for (int i = n - 1; i >= 0; i--) pushMove(pos, makeMoveWord(found[i], target));
}
