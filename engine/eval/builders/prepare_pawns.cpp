// Pawn analysis shared by both builders: per-file pawn records, pawn and
// piece bitboards, pawn spans, widened pawn-attack sets, passed-pawn file
// segments in the pawn-path tables, and the king-and-pawn terms.
#include "engine/eval/builders/prepare_pawns.h"

#include "engine/eval/builders/prepare_steps.h"
#include "engine/eval/prepare.h"
#include "platform/blocks.h"

namespace {

// The squares the pawns of a set attack.
inline uint64_t whitePawnAttackSet(uint64_t pawns) { return ((pawns & ~FILE_A) << 7) | ((pawns & ~FILE_H) << 9); }
inline uint64_t blackPawnAttackSet(uint64_t pawns) { return ((pawns & ~FILE_A) >> 9) | ((pawns & ~FILE_H) >> 7); }

// A set spread along the files, north or south, over the squares of `open`
// (the set's own squares always stay in it and spread on).
uint64_t fillNorth(uint64_t set, uint64_t open) {
  set |= open & (set << 8);
  open &= open << 8;
  set |= open & (set << 16);
  open &= open << 16;
  return set | (open & (set << 32));
}
uint64_t fillSouth(uint64_t set, uint64_t open) {
  set |= open & (set >> 8);
  open &= open >> 8;
  set |= open & (set >> 16);
  open &= open >> 16;
  return set | (open & (set >> 32));
}

inline void lower(int32_t &x, int v) { if (v < x) x = v; }
inline void raise(int32_t &x, int v) { if (v > x) x = v; }

// Widens the per-file records for one pawn of the given side at (file, rank).
void recordPawn(Board *b, int side, int file, int rank) {
  if (side > 0) {
    int32_t *w = pawnRecord(b, 1, file);
    lower(w[0], rank);
    raise(w[1], rank);
    raise(w[2], rank);
    int32_t *k = pawnRecord(b, -1, file);
    lower(k[2], rank);
    raise(k[3], rank);
    for (int g = file - 1; g <= file + 1; g += 2) {
      int32_t *n = pawnRecord(b, -1, g);
      lower(n[2], rank + 1);
      raise(n[3], rank + 1);
    }
  } else {
    int32_t *k = pawnRecord(b, -1, file);
    raise(k[0], rank);
    lower(k[1], rank);
    lower(k[2], rank);
    int32_t *w = pawnRecord(b, 1, file);
    raise(w[2], rank);
    lower(w[3], rank);
    for (int g = file - 1; g <= file + 1; g += 2) {
      int32_t *n = pawnRecord(b, 1, g);
      raise(n[2], rank - 1);
      lower(n[3], rank - 1);
    }
  }
}

// Passed-pawn file segments of one file for one side (the segments go into
// the other side's pawn-path table).
void fileSegments(Board *b, int side, int file, int factor) {
  const int32_t *table = b->prepared.data.passedTable;
  if (side > 0) {
    if (pawnsOnFile(b, 1, file) == 0) return;
    int r = pawnRecord(b, 1, file)[1];
    int v = (table[r] * factor + 32) >> 6;
    bool left = pawnRecord(b, -1, file - 1)[0] > r;
    bool own = pawnRecord(b, -1, file)[0] > r;
    bool right = pawnRecord(b, -1, file + 1)[0] > r;
    if (right && !own && !left) addFileSegment(b, -1, r, file + 1, v);
    else if (own && !left && !right) addFileSegment(b, -1, r, file, -v);
    else if (left && !own && !right) addFileSegment(b, -1, r + 1, file - 1, v);
  } else {
    if (pawnsOnFile(b, -1, file) == 0) return;
    int r = pawnRecord(b, -1, file)[1];
    int v = (table[7 - r] * factor + 32) >> 6;
    bool left = pawnRecord(b, 1, file - 1)[0] < r;
    bool own = pawnRecord(b, 1, file)[0] < r;
    bool right = pawnRecord(b, 1, file + 1)[0] < r;
    // black's segments keep the plain rank in all three cases
    if (right && !own && !left) addFileSegment(b, 1, r, file + 1, v);
    else if (own && !left && !right) addFileSegment(b, 1, r, file, -v);
    else if (left && !own && !right) addFileSegment(b, 1, r, file - 1, v);
  }
}

}  // namespace

void addFileSegment(Board *b, int side, int rank, int file, int amount) {
  if (file < 0 || file > 7) return;
  int lo = side > 0 ? 1 : rank + 1;
  int hi = side > 0 ? rank - 1 : 6;
  int16_t *t = headOf(b, side)->pawnTerms;
  for (int r = lo; r <= hi; r++) {
    int sq = r * 16 + file;
    if (amount > 0) addTo(t, sq, amount);
    else addTo(t, sq + 8, -amount);
  }
}

void analysePawnStructure(Board *b, int factor) {
  PreparedDataFields &d = b->prepared.data;
  for (int f = -1; f <= 8; f++) {
    int32_t *w = pawnRecord(b, 1, f);
    w[0] = 7, w[1] = 0, w[2] = 0, w[3] = 7;
    int32_t *k = pawnRecord(b, -1, f);
    k[0] = 0, k[1] = 7, k[2] = 7, k[3] = 0;
  }
  for (PieceListHead *h : {&b->white, &b->black}) {
    clearBlocks<sizeof h->pawnTerms>(h->pawnTerms);
    clearBlocks<sizeof h->marks>(h->marks);
  }
  for (int i = 0; i < 2; i++) d.allPawns[i] = d.pieces[i] = 0;
  d.nonPawnPieces = d.lineMovers = 0;

  for (int side = 1; side >= -1; side -= 2) {
    int si = sideIndex(side);
    for (PieceRecord *r = headOf(b, side)->node.next; r != b->end(); r = r->next) {
      if (!onBoard(r->square)) continue;
      uint64_t bit = bit88(r->square);
      int kind = r->kind->kind;
      if (kind == PAWN) {
        d.allPawns[si] |= bit;
        recordPawn(b, side, fileOf(r->square), rankOf(r->square));
        continue;
      }
      d.nonPawnPieces |= bit;
      if (kind != KING) d.pieces[si] |= bit;
      if (kind != KNIGHT) d.lineMovers |= bit;
    }
  }
  uint64_t wp = d.allPawns[0], bp = d.allPawns[1];
  d.pawnAttacks[0] = whitePawnAttackSet(wp);
  d.pawnAttacks[1] = blackPawnAttackSet(bp);
  d.pawnsAndAttacks[0] = wp | d.pawnAttacks[0];
  d.pawnsAndAttacks[1] = bp | d.pawnAttacks[1];
  d.pawns[0] = wp & ~d.pawnAttacks[1];
  d.pawns[1] = bp & ~d.pawnAttacks[0];

  int lo = 8, hi = -1;
  for (int f = 0; f < 8; f++) {
    if (pawnsOnFile(b, 1, f) + pawnsOnFile(b, -1, f) == 0) continue;
    if (f < lo) lo = f;
    hi = f;
  }
  d.pawnSpan = hi >= lo ? hi - lo : 0;

  for (int f = 0; f < 8; f++) fileSegments(b, 1, f, factor);
  for (int f = 0; f < 8; f++) fileSegments(b, -1, f, factor);

  // The pawn spans: what the pawns attack from their squares and from the
  // next two squares ahead, up to the first square an enemy pawn holds or
  // attacks (ranks 2 to 7).
  const uint64_t walk = rankSpan(1, 6);
  uint64_t one = (wp << 8) & ~d.pawnsAndAttacks[1] & walk;
  uint64_t two = (one << 8) & ~d.pawnsAndAttacks[1] & walk;
  d.pawnSpanBits[0] = whitePawnAttackSet(wp | one | two);
  one = (bp >> 8) & ~d.pawnsAndAttacks[0] & walk;
  two = (one >> 8) & ~d.pawnsAndAttacks[0] & walk;
  d.pawnSpanBits[1] = blackPawnAttackSet(bp | one | two);
  // The widened attack sets: a side's pawn attacks, and every square from
  // the other side's pawn spans back towards the other side's first rank
  // (not onto it) up to the first square this side's pawns hold or attack.
  d.wideAttacks[0] = d.pawnAttacks[0] | fillNorth(d.pawnSpanBits[1] & rankSpan(0, 6), ~d.pawnsAndAttacks[0] & rankSpan(0, 6));
  d.wideAttacks[1] = d.pawnAttacks[1] | fillSouth(d.pawnSpanBits[0] & rankSpan(1, 7), ~d.pawnsAndAttacks[1] & rankSpan(1, 7));
}

void analysePawns(Board *b) { analysePawnStructure(b, 53); }

void kingPawnTerms(Board *b, int nearWeight, int rankWeight) {
  for (int side = 1; side >= -1; side -= 2) {
    const int16_t *pawnTable = squareTable(b, side, PAWN);
    int pawnValue = kindOf(b, side, PAWN)->currentValue;
    int16_t *enemyKing = squareTable(b, -side, KING);
    int16_t *ownKing = squareTable(b, side, KING);
    for (PieceRecord *r = headOf(b, side)->node.next; r != b->end(); r = r->next) {
      int sq = r->square;
      if (!onBoard(sq) || r->kind->kind != PAWN) continue;
      int nearValue = (nearWeight * (pawnTable[sq] + pawnValue) + 32) >> 6;
      int rank = side > 0 ? rankOf(sq) : 7 - rankOf(sq);
      int passedRank = pawnRecord(b, side, fileOf(sq))[2];
      bool passed = side > 0 ? rankOf(sq) >= passedRank : rankOf(sq) <= passedRank;
      int rankValue = passed ? rank * rankWeight : 0;
      if (nearValue < 1 && rankValue < 1) continue;
      for (int step : {1, -1, 16, -16, 15, -15, 17, -17}) {
        int t = sq + step;
        if (!onBoard(t)) continue;
        addTo(enemyKing, t, nearValue);
        addTo(ownKing, t, rankValue);
      }
    }
  }
}

// Centre pawn control, before the square pass (worth `unit` per square).
int centrePawnControl(Board *b, int unit) {
  const PreparedDataFields &d = b->prepared.data;
  int s = 0;
  for (int f = 0; f < 8; f++) {
    for (int r = 1; r <= 3; r++) {
      int sq = r * 16 + f;
      if (inSet(d.pawnAttacks[1], sq) && pawnRecord(b, 1, f)[1] < r && !inSet(d.pawnSpanBits[0], sq)) s -= unit;
    }
    for (int r = 6; r >= 4; r--) {
      int sq = r * 16 + f;
      if (inSet(d.pawnAttacks[0], sq) && pawnRecord(b, -1, f)[1] > r && !inSet(d.pawnSpanBits[1], sq)) s += unit;
    }
  }
  return s;
}
