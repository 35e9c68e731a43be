// Steps and small helpers shared by the preparation builders (not part of the
// preparation interface).
#pragma once
#include <initializer_list>

#include "engine/board/position.h"
#include "engine/board/tables/bitboard.h"
#include "engine/board/tables/geometry.h"
#include "engine/eval/prepare.h"

// Trapped pieces with the given penalty (130 middlegame, 360 endgame).
void trappedPieceTerms(Board *board, int penalty);
void addTrappedPieceTerms(Board *board);
void addTrappedPieceTermsEndgame(Board *board);

// ---- small helpers of the builders ----
inline int codeOf(int side, int kind) { return side > 0 ? kind : 12 - kind; }
inline int tableOf(int side, int kind) { return side > 0 ? 12 - kind : 18 - kind; }
inline PieceKind *kindOf(Board *b, int side, int kind) { return &b->kinds[codeOf(side, kind)]; }
inline int16_t *squareTable(Board *b, int side, int kind) { return b->prepared.square[tableOf(side, kind)]; }
inline int countOf(const Board *b, int side, int kind) { return b->kinds[codeOf(side, kind)].count; }
inline int sideIndex(int side) { return side > 0 ? 0 : 1; }
// Square tables of PreparedTables in their order.
enum { WK = 0, WQ, WR, WB, WN, WP, BK, BQ, BR, BB, BN, BP };

inline void addTo(int16_t *table, int sq, int v) { table[sq] = (int16_t)(table[sq] + v); }
// Bit of an 0x88 square; 0 for any index off the board.
inline uint64_t bit88(int sq) { return onBoard(sq) ? squareBit88[sq] : 0; }
inline bool inSet(uint64_t set, int sq) { return (set & bit88(sq)) != 0; }
// Square sets by file and rank (0..63, a1 = bit 0).
constexpr uint64_t FILE_A = 0x0101010101010101ULL;
constexpr uint64_t FILE_H = FILE_A << 7;
constexpr uint64_t FILES_B_TO_G = ~(FILE_A | FILE_H);
constexpr uint64_t rankSpan(int lo, int hi) { return (~0ULL >> (8 * (7 - hi))) & (~0ULL << (8 * lo)); }
// Calls fn with each square of a set, as an 0x88 square (a term that only a
// few squares get runs over their set instead of testing every square).
template <class Fn>
inline void forEachSquare(uint64_t set, Fn fn) {
  for (; set; set &= set - 1) fn((int)sq64To88[lowestBit(set)]);
}
// Code of the man on a square (EMPTY_CODE for empty or off-board squares).
inline int codeAt(Board *b, int sq) {
  if (!onBoard(sq)) return EMPTY_CODE;
  return b->at(sq)->kind->code;
}
// King steps between two board squares: one look-up by their 0x88 difference.
inline int kingDistance(int a, int b) { return distanceByDifference(a - b); }
inline int fileDistance(int a, int b) {
  int d = fileOf(a) - fileOf(b);
  return d < 0 ? -d : d;
}
// Pieces (knights, bishops, rooks, queens) of a side.
inline int pieceCount(const Board *b, int side) {
  return countOf(b, side, KNIGHT) + countOf(b, side, BISHOP) + countOf(b, side, ROOK) + countOf(b, side, QUEEN);
}
inline int32_t *pawnRecord(Board *b, int side, int file) {
  return b->prepared.data.pawnFileRecord[sideIndex(side)][file + 1];
}
inline int pawnsOnFile(Board *b, int side, int file) {
  return (side > 0 ? b->white : b->black).pawnFiles()[file];
}
inline PieceListHead *headOf(Board *b, int side) { return side > 0 ? &b->white : &b->black; }

// Drawish balances: P (piece balance) and T (total balance) from white's view.
int pieceBalance(Board *b);
// Scales S, the file pressures, every non-king currentValue and every
// on-board square-table entry by k / 64.
int scalePreparation(Board *b, int k, int score);
// The final sum of both builders: every piece's square score, returns S + sum.
int finalSum(Board *b, int score);
// File pressure values for both sides.
void setFilePressure(Board *b, int backward, int isolated, int doubled, int openFile, int openDoubled);
// Remembers the colour of each side's single bishop (-1 otherwise).
void rememberBishopColours(Board *b);

// Pawn terms both builders give a square alike: pawns on the colour of a
// side's single bishop. (Inline: it runs for every square of every preparation.)
inline void addBishopColourTerms(int16_t **t, const PreparedDataFields &d, int s) {
  int f = fileOf(s), r = rankOf(s);
  if (f >= 1 && f <= 6) {
    int colour = (f + r) & 1;
    if (d.bishopColour[0] >= 0) {
      if (colour == d.bishopColour[0]) {
        addTo(t[WP], s, -4);
        addTo(t[BP], s, 1);
      } else {
        addTo(t[WP], s, 3);
      }
    }
    if (d.bishopColour[1] >= 0) {
      if (colour == d.bishopColour[1]) {
        addTo(t[BP], s, -4);
        addTo(t[WP], s, 1);
      } else {
        addTo(t[BP], s, 4);
        addTo(t[WP], s, -1);
      }
    }
  }
}

// Backward pawns: a square beside a file with own pawns that the enemy's
// widened attacks do not reach. They only add, so they run over their square
// sets right after a builder's square pass (which sets the promotion entries
// first) and before anything reads the pawn tables.
void addBackwardPawnTerms(Board *b, int16_t **t, const PreparedDataFields &d);

// A passed pawn's square s for side: the enemy minors in front of a pawn
// standing there gain e; a pawn blocked by an enemy minor or pawn loses e.
void addPassedBlockTerms(Board *b, int16_t **t, int s, int side, int e);
