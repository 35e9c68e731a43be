// Position preparation driver: the choice between the middlegame and endgame
// builders, the hanging-piece rule, and the Position's incremental score base.
#include "engine/eval/prepare.h"

#include <cstring>

#include "engine/board/game/game.h"
#include "engine/board/moves/attacks.h"
#include "engine/eval/builders/prepare_data.h"
#include "engine/eval/builders/prepare_end.h"
#include "engine/eval/builders/prepare_middle.h"
#include "engine/eval/builders/prepare_steps.h"
#include "engine/eval/save_slots.h"
#include "engine/eval/settings.h"
#include "engine/eval/weights.h"

int32_t endgameThreshold = 967;
int32_t richMaterial = 2429;
int32_t twoRooksTwoBishops = 1194;
int32_t rookBishopQueen = 1317;
int32_t scoreOffset = 0;
std::atomic<int32_t> searchMargin{-9};

namespace {

inline int pct(int base, int word) { return base * word / 100; }

// First piece of a side's list that attacks the square (sliders need an empty
// path in the occupancy), or null.
PieceRecord *firstAttacker(Board *b, int side, int target, uint64_t occupancy) {
  for (PieceRecord *r = headOf(b, side)->node.next; r != b->end(); r = r->next) {
    if (!onBoard(r->square)) continue;
    int cap = r->kind->capability;
    if (!(attackCapability(target - r->square) & cap)) continue;
    if ((cap & (2 | 4 | 8)) && (squaresBetween(r->square, target) & occupancy)) continue;
    return r;
  }
  return nullptr;
}

// Step 4: castling bits of a corner without its rook are dropped.
void refreshCastling(Position *pos) {
  Board *b = pos->pg;
  int32_t &f = pos->statusFlags;
  if (f & (2 | 8)) {
    if (b->at(0x00)->kind != &b->kinds[WHITE_ROOK]) f &= ~8;
    if (b->at(0x07)->kind != &b->kinds[WHITE_ROOK]) f &= ~2;
  }
  if (f & (4 | 16)) {
    if (b->at(0x70)->kind != &b->kinds[BLACK_ROOK]) f &= ~16;
    if (b->at(0x77)->kind != &b->kinds[BLACK_ROOK]) f &= ~4;
  }
}

// Step 5: the kind of a piece that the last move left en prise (counted one
// lower while the builder runs), or null.
PieceKind *hangingKind(Position *pos) {
  Board *b = pos->pg;
  if (pos->capturedPiece == b->end() && !(pos->nodeFlags & NODE_SPECIAL_MOVE)) return nullptr;
  int to = realTo(pos->lastMove);
  if (!onBoard(to)) return nullptr;
  PieceRecord *target = b->at(to);
  if (target->colour == 0 || target->kind->kind == KING) return nullptr;
  PieceRecord *attacker = firstAttacker(b, pos->side, to, pos->allBits);
  if (!attacker) return nullptr;
  if (attacker->kind->pieceClass >= target->kind->pieceClass &&
      firstAttacker(b, -pos->side, to, pos->allBits))
    return nullptr;
  return target->kind;
}

void hide(Board *b, PieceKind *k, int sign) {
  if (!k) return;
  k->count -= sign;
  if (k->kind != PAWN) b->material -= sign * k->middlegameValue;
}

// Steps 8 to 11: from the builder's white-view score to the Position's score.
void scoreFromBuilder(Position *pos, int e) {
  Board *b = pos->pg;
  int t = b->tempo;
  // Every thread prepares and every node reads the margin: written only when
  // it changes, so that the readers' copies of its line stay valid.
  const int margin = t - scoreOffset - 10;
  if (searchMargin.load(std::memory_order_relaxed) != margin) searchMargin.store(margin, std::memory_order_relaxed);
  int m = (pos->side < 0 ? -e : e) + t / 2;
  if (pos->statusFlags & STATUS_SHRINK_IN_SCORE) {
    int o = b->drawShrink;
    if (m >= (3 * o) / 2) {
      m -= o;
    } else if (m > (-3 * o) / 2) {
      b->drawShrink = (2 * m) / 3;
      m -= b->drawShrink;
    } else {
      b->drawShrink = -o;
      m += o;
    }
    if (pos->side != b->engineSide) b->drawShrink = -b->drawShrink;
  }
  pos->score = pos->side == b->engineSide ? m + activeSettings.contempt : m - activeSettings.contempt;
}

}  // namespace

void prepare(Position *pos, int reset) {
  Board *b = pos->pg;
  if (reset) {
    applyCannotWinRule(b);
    initMiddlegameWeights(b);
    initEndgameWeights();
    releaseAllSaveSlots();
  }
  std::memset(&b->prepared, 0, PREPARED_BYTES);
  b->prepared.data.occupancy = pos->allBits;
  if (b->material <= endgameThreshold) {
    prepareEndgame(pos, reset);
    return;
  }
  refreshCastling(pos);
  PieceKind *lost = hangingKind(pos);
  hide(b, lost, 1);
  int e = prepareTables(b, &pos->statusFlags, pos->halfMoveClock, pos->side);
  hide(b, lost, -1);
  bool queens = b->kinds[WHITE_QUEEN].count + b->kinds[BLACK_QUEEN].count > 0;
  int h = queens && b->material >= richMaterial ? 7 : 3;
  e += b->engineSide > 0 ? -h : h;
  scoreFromBuilder(pos, e);
}

void prepareEndgame(Position *pos, int reset) {
  Board *b = pos->pg;
  if (reset) {
    initEndgameWeights();
    releaseAllSaveSlots();
  }
  refreshCastling(pos);
  PieceKind *lost = hangingKind(pos);
  hide(b, lost, 1);
  int e = prepareEndgameTables(b, &pos->statusFlags, pos->halfMoveClock, pos->side);
  hide(b, lost, -1);
  e += b->engineSide > 0 ? -2 : 2;
  scoreFromBuilder(pos, e);
}
