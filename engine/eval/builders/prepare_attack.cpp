// Attack terms of the pieces: per-square attack values of each side (king
// zone included), spread over the knight and slider tables along the squares
// each piece reaches; and the screens and pins on the lines of the sliders
// and kings (both builders).
#include "engine/eval/builders/prepare_attack.h"

#include <algorithm>
#include <cassert>

#include "engine/board/moves/attacks.h"
#include "engine/eval/builders/prepare_data.h"
#include "engine/eval/builders/prepare_steps.h"
#include "engine/eval/prepare.h"
#include "engine/eval/settings.h"
#include "engine/eval/weights.h"

namespace {

constexpr int E1 = 0x04, E8 = 0x74;
// Each side's back area: its first two ranks, the a- and b-file and g- and
// h-file squares of the third rank, and the a- and h-file squares of the fourth.
constexpr uint64_t WHITE_BACK_AREA = 0xffffULL | squareSet88({0x20, 0x21, 0x26, 0x27, 0x30, 0x37});
constexpr uint64_t BLACK_BACK_AREA = 0xffffULL << 48 | squareSet88({0x50, 0x51, 0x56, 0x57, 0x40, 0x47});
// A king-zone square is at most this many king steps from the shelter.
constexpr int ZONE_REACH = 2;

inline int sq64(int sq88) { return sq88To64[sq88]; }

// King-zone pair of one side's attack values: the zone lies around the
// other side's shelter.
void kingZoneValues(Board *b, int side, int (*v)[128], int (*e)[128]) {
  const PreparedDataFields &d = b->prepared.data;
  int z = side > 0 ? d.blackShelter : d.whiteShelter;
  if (z == NO_SQUARE) return;
  int si = sideIndex(side);
  int enemyKing = b->pieces[side > 0 ? 0 : 32].square;
  int home = side > 0 ? E8 : E1;
  int shortSide = side > 0 ? 0x76 : 0x06, longSide = side > 0 ? 0x71 : 0x01;
  int ownPawn = codeOf(side, PAWN), enemyPawn = codeOf(-side, PAWN);
  int toward = 16 * side;  // one rank nearer to the enemy's side
  int w18 = activeSettings.evalWeight18;
  // The squares where the first enemy piece in list order that reaches them
  // is below a queen: each piece claims the reached squares no earlier one did.
  uint64_t reached = 0, minorFirst = 0;
  for (PieceRecord *p = headOf(b, -side)->node.next; p != b->end(); p = p->next) {
    if (!onBoard(p->square)) continue;
    uint64_t r = reachSet(p, d.occupancy);
    if (p->kind->kind < QUEEN) minorFirst |= r & ~reached;
    reached |= r;
  }
  // The zone lies within two steps of the shelter: only that box is visited.
  int zr = rankOf(z), zf = fileOf(z);
  for (int r = std::max(zr - ZONE_REACH, 0); r <= std::min(zr + ZONE_REACH, 7); r++) {
    for (int f = std::max(zf - ZONE_REACH, 0); f <= std::min(zf + ZONE_REACH, 7); f++) {
      int s = 16 * r + f;
      if (inSet(d.pawnAttacks[sideIndex(-side)], s) || codeAt(b, s) == ownPawn) continue;
      int kd = kingDistance(s, z);
      bool holdsEnemyPawn = codeAt(b, s) == enemyPawn;
      if (!(kd < ZONE_REACH || (kd == ZONE_REACH && holdsEnemyPawn))) continue;
      int a, c;
      bool kingSquares =
          s == enemyKing ||
          (enemyKing == home && ((z == shortSide && (s == home + 1 || s == home + 2)) ||
                                 (z == longSide && (s == home - 3 || s == home - 2 || s == home - 1))));
      if (kingSquares) {
        a = 37, c = 26;
      } else {
        // below a queen: the first enemy piece in list order that reaches s
        if (holdsEnemyPawn || inSet(minorFirst, s)) a = 6, c = 6;
        else a = 13, c = 38;
      }
      bool deep = side > 0 ? rankOf(s) < 6 : rankOf(s) > 1;  // below the last two ranks
      auto ownAt = [&](int sq) { return onBoard(sq) && b->at(sq)->colour == side; };
      if (ownAt(s + toward) || (deep && ownAt(s + 2 * toward)) || ownAt(s + toward - 1) || ownAt(s + toward + 1) ||
          ownAt(s + toward - 2) || ownAt(s + toward + 2))
        a += 11;
      auto enemyPiece = [&](int sq) {
        return onBoard(sq) && b->at(sq)->colour == -side && b->at(sq)->kind->kind != PAWN;
      };
      if (enemyPiece(s + toward) ||
          (deep && (enemyPiece(s + 2 * toward) || enemyPiece(s + 2 * toward - 1) || enemyPiece(s + 2 * toward + 1))))
        a = (a * 56 + 32) >> 6;
      if (!d.middlegame) a >>= 1, c >>= 1;
      v[si][s] += a * w18 / 100;
      e[si][s] += c * w18 / 100;
    }
  }
}

// The reach sums work on a padded board: ranks and files -2..9, so that every
// knight jump and line step from a board square lands in the array, and the
// border squares hold zero.
constexpr int PAD_WIDTH = 12, PAD_BORDER = 2, PAD_SIZE = PAD_WIDTH * PAD_WIDTH;
inline int padded(int rank, int file) { return (rank + PAD_BORDER) * PAD_WIDTH + file + PAD_BORDER; }
inline int paddedStep(int ranks, int files) { return ranks * PAD_WIDTH + files; }

// What a line carries on beyond a square, in 64ths: all of it, 49/64 of it
// beyond a square of the blocked set, nothing beyond a stopping square.
// (x * 64 + 32) >> 6 is x itself, so one rounding serves all three.
constexpr int LINE_ON = 64, LINE_REDUCED = 49, LINE_STOPPED = 0;

// One rank of a line's sums: each square's value plus what the square one
// step further on carries on (`further` is that square of the next rank).
inline void carryRank(int *__restrict acc, const int *__restrict further, const int *__restrict value,
                      const int *__restrict carry) {
  for (int f = 0; f < 8; f++) acc[f] = value[f] + ((further[f] * carry[f] + 32) >> 6);
}
inline void addRank(int *__restrict sum, const int *__restrict add) {
  for (int f = 0; f < 8; f++) sum[f] += add[f];
}

// Adds to sum[s], for every square s, the value seen from s one step along
// (ranks, files), ranks +-1: the value of the next square t and, carried on,
// what lies beyond it. The ranks are visited so that t + step is done before
// t. (Steps along a rank are taken on the transposed board.)
void addLineSums(const int *value, const int *carry, int ranks, int files, int *sum) {
  // Only the board and the ring of squares around it are read, and the board
  // is written before it is read: the ring alone is cleared.
  int acc[PAD_SIZE];
  for (int f = -1; f <= 8; f++) acc[padded(-1, f)] = acc[padded(8, f)] = 0;
  for (int r = 0; r < 8; r++) acc[padded(r, -1)] = acc[padded(r, 8)] = 0;
  int step = paddedStep(ranks, files);
  for (int i = 0; i < 8; i++) {
    int t = padded(ranks > 0 ? 7 - i : i, 0);
    carryRank(acc + t, acc + t + step, value + t, carry + t);
  }
  for (int r = 0; r < 8; r++) addRank(sum + padded(r, 0), acc + padded(r, 0) + step);
}

// Zeroes the board squares of padded sums (the only ones the sums use).
void clearSums(int *sum) {
  for (int r = 0; r < 8; r++)
    for (int f = 0; f < 8; f++) sum[padded(r, f)] = 0;
}

// Int sums added to an int16 table once: the table wraps like one add per term.
inline void addRankSums(int16_t *__restrict to, const int *__restrict from) {
  for (int f = 0; f < 8; f++) to[f] = (int16_t)(to[f] + from[f]);
}
void addSums(int16_t *table, const int *sum) {
  for (int r = 0; r < 8; r++) addRankSums(table + 16 * r, sum + padded(r, 0));  // 16 * r: the rank's a-file
}

// An 0x88 table of values on the board squares of the padded board, or of its
// transpose (ranks as files); the border is left as it is.
void toPadded(const int *value, int *out, bool transposed) {
  for (int r = 0; r < 8; r++)
    for (int f = 0; f < 8; f++) out[transposed ? padded(f, r) : padded(r, f)] = value[16 * r + f];
}

}  // namespace

uint64_t reachSet(const PieceRecord *p, uint64_t occupancy) {
  assert(p && onBoard(p->square));
  int sq = sq64(p->square);
  switch (p->kind->kind) {
    case KING: return kingAttacks[sq];
    case QUEEN: return queenAttacks(sq, occupancy);
    case ROOK: return rookAttacks(sq, occupancy);
    case BISHOP: return bishopAttacks(sq, occupancy);
    case KNIGHT: return knightAttacks[sq];
    default: return p->colour > 0 ? whitePawnAttacks[sq] : blackPawnAttacks[sq];
  }
}

// Adds, for each side, the values of the squares that a knight or slider
// reaches from every square to that side's knight, rook, bishop and queen
// tables. A line stops after a pawn that enemy pawns do not attack and is
// reduced to 49/64 beyond a square of the side's blocked set.
void addReachTerms(Board *b, const int (*knightValue)[128], const int (*lineValue)[128], const uint64_t *blocked,
                   bool knights, bool orthogonal, bool diagonal) {
  static const int KNIGHT_JUMPS[8][2] = {{1, 2}, {-1, -2}, {1, -2}, {-1, 2}, {2, 1}, {-2, -1}, {2, -1}, {-2, 1}};
  static const int DIAGONAL[4][2] = {{1, 1}, {-1, -1}, {1, -1}, {-1, 1}};
  const PreparedDataFields &d = b->prepared.data;
  uint64_t stop = d.pawns[0] | d.pawns[1];
  int value[PAD_SIZE], valueT[PAD_SIZE];
  for (int side = 1; side >= -1; side -= 2) {
    int si = sideIndex(side);
    if (knights) {
      for (int i = 0; i < PAD_SIZE; i++) value[i] = 0;  // the jumps off the board find zero
      toPadded(knightValue[si], value, false);
      int16_t *table = squareTable(b, side, KNIGHT);
      for (int r = 0; r < 8; r++) {  // a rank at a time: its sums stay in registers
        int sum[8] = {};
        for (const auto &j : KNIGHT_JUMPS) addRank(sum, value + padded(r, 0) + paddedStep(j[0], j[1]));
        addRankSums(table + 16 * r, sum);
      }
    }
    if (!orthogonal && !diagonal) continue;
    toPadded(lineValue[si], value, false);
    uint64_t reduced = blocked ? blocked[si] : 0;
    // Only the board squares of the carries are read: they alone are set.
    int carry[PAD_SIZE], carryT[PAD_SIZE];
    for (int r = 0; r < 8; r++) {
      unsigned stopRank = (stop >> (8 * r)) & 0xff, reducedRank = (reduced >> (8 * r)) & 0xff;
      for (int f = 0; f < 8; f++) {
        int c = (stopRank >> f) & 1 ? LINE_STOPPED : (reducedRank >> f) & 1 ? LINE_REDUCED : LINE_ON;
        carry[padded(r, f)] = c;
        carryT[padded(f, r)] = c;
      }
    }
    int lineSum[2][PAD_SIZE];  // orthogonal, diagonal
    clearSums(lineSum[0]);
    clearSums(lineSum[1]);
    if (orthogonal) {
      addLineSums(value, carry, 1, 0, lineSum[0]);
      addLineSums(value, carry, -1, 0, lineSum[0]);
      // along the ranks: up and down the files of the transposed board
      int sumT[PAD_SIZE];
      clearSums(sumT);
      toPadded(lineValue[si], valueT, true);
      addLineSums(valueT, carryT, 1, 0, sumT);
      addLineSums(valueT, carryT, -1, 0, sumT);
      for (int r = 0; r < 8; r++)
        for (int f = 0; f < 8; f++) lineSum[0][padded(r, f)] += sumT[padded(f, r)];
    }
    if (diagonal)
      for (const auto &k : DIAGONAL) addLineSums(value, carry, k[0], k[1], lineSum[1]);
    int16_t *queen = squareTable(b, side, QUEEN);
    if (orthogonal) addSums(squareTable(b, side, ROOK), lineSum[0]);
    if (diagonal) addSums(squareTable(b, side, BISHOP), lineSum[1]);
    if (orthogonal) addSums(queen, lineSum[0]);
    if (diagonal) addSums(queen, lineSum[1]);
  }
}

void prepareAttackTerms(Board *b) {
  const PreparedDataFields &d = b->prepared.data;
  int w21 = activeSettings.evalWeight21;
  int y = d.manyUnits ? 3 : (d.pawnSpan < 6 && d.anyQueen ? 4 : 6);
  int v[2][128], e[2][128];
  for (int i = 0; i < 2; i++)
    for (int s = 0; s < 128; s++) v[i][s] = y * w21 / 100, e[i][s] = (7 - y) * w21 / 100;
  const uint64_t wAtt = d.pawnAttacks[0], bAtt = d.pawnAttacks[1];
  bool everywhere = b->kingActive && d.emptyFiles >= 5;
  const uint64_t whiteBack = everywhere ? ~0ULL : WHITE_BACK_AREA, blackBack = everywhere ? ~0ULL : BLACK_BACK_AREA;
  for (int i = 0; i < 64; i++) {
    int s = sq64To88[i];
    auto in = [i](uint64_t set) { return ((set >> i) & 1) != 0; };
    // 1. own back area
    if (in(whiteBack)) v[0][s] = attackBase, e[0][s] = 1;
    if (in(blackBack)) v[1][s] = attackBase, e[1][s] = 1;
    // 2. squares the enemy pawns attack
    if (in(bAtt)) v[0][s] -= attackHit, e[0][s] = 0;
    if (in(wAtt)) v[1][s] -= attackHit, e[1][s] = 0;
    // 3. pawns and queens
    int code = codeAt(b, s);
    if (code == WHITE_PAWN) {
      v[0][s] = e[0][s] = 0;
      if (!in(d.wideAttacks[1])) v[1][s] += attackSafe;
    } else if (code == BLACK_PAWN) {
      v[1][s] = e[1][s] = 0;
      if (!in(d.wideAttacks[0])) v[0][s] += attackSafe;
    } else if (code == BLACK_QUEEN) {
      v[0][s] += 5;
    } else if (code == WHITE_QUEEN) {
      v[1][s] += 5;
    }
    // 4. no negative values
    for (int side = 0; side < 2; side++)
      if (v[side][s] < 0) v[side][s] = 0;
    // 5. the centre
    if (in(d.centreMask)) {
      if (!in(d.pawns[1])) v[0][s] += attackCentre;
      if (!in(d.pawns[0])) v[1][s] += attackCentre;
    }
  }
  // 6. king zones
  kingZoneValues(b, 1, v, e);
  kingZoneValues(b, -1, v, e);

  int knight[2][128];
  for (int i = 0; i < 2; i++)
    for (int s = 0; s < 128; s++) knight[i][s] = v[i][s] + e[i][s];
  uint64_t occ = d.occupancy;
  uint64_t blocked[2];
  blocked[0] = occ & ~(d.pieces[1] & (~bAtt | wAtt)) & ~(d.pieces[0] & bAtt);
  blocked[1] = occ & ~(d.pieces[0] & (~wAtt | bAtt)) & ~(d.pieces[1] & wAtt);
  addReachTerms(b, knight, v, blocked, true, true, true);
}

void lineTerms(Board *b, bool endgame) {
  const PreparedDataFields &d = b->prepared.data;
  uint64_t occ = d.occupancy;
  uint64_t hitSet = endgame ? occ : d.nonPawnPieces;
  bool many = d.manyUnits != 0;
  // screens, then pins
  for (int pass = 0; pass < 2; pass++) {
    for (uint64_t movers = d.lineMovers; movers; movers &= movers - 1) {
      int o = sq64To88[lowestBit(movers)];
      const PieceRecord *O = b->at(o);
      int okind = O->kind->kind, oside = O->colour;
      if (oside == 0) continue;
      uint64_t att;
      if (pass == 0) {
        if (okind == KING) continue;
        att = reachSet(O, occ);
      } else {
        if (okind == BISHOP) continue;
        att = okind == KING ? kingAttacks[sq64(o)] : okind == QUEEN ? queenAttacks(sq64(o), occ)
                                                                    : bishopAttacks(sq64(o), occ);
      }
      for (uint64_t hits = att & hitSet; hits; hits &= hits - 1) {
        int x = sq64To88[lowestBit(hits)];
        const PieceRecord *X = b->at(x);
        int xside = X->colour, xkind = X->kind->kind, xcap = X->kind->capability;
        int step = stepByDifference(x - o);
        bool ownPawnsCover = inSet(d.pawnAttacks[sideIndex(xside)], x);
        bool oPawnsCover = inSet(d.pawnAttacks[sideIndex(oside)], x);
        int v;
        if (pass == 0) {
          if (attackCapability(o - x) & xcap) continue;  // X answers along the line
          if (endgame) {
            if (xkind == PAWN) v = 8;
            else if (xside == oside) v = 4;
            else if (ownPawnsCover) v = 2;
            else continue;
          } else {
            v = xside == oside ? (many ? 4 : 2) : ownPawnsCover ? (many ? 1 : 2) : 10;
          }
          for (int t = x + step; onBoard(t); t += step) {
            for (int k = okind + 1; k <= KING; k++)
              if (k >= ROOK) addTo(squareTable(b, -oside, k), t, -v);
            const PieceRecord *T = b->at(t);
            if (T->colour == 0) continue;
            if (T->colour == -oside && T->kind->kind > okind) continue;
            break;
          }
        } else {
          if (endgame) {
            if (xkind == PAWN) v = 8;
            else if (xside != oside) v = 4;
            else if (oPawnsCover) v = 2;
            else continue;
          } else {
            v = xside != oside ? (many ? 4 : 2) : oPawnsCover ? (many ? 1 : 2) : 10;
          }
          bool straight = step == 1 || step == -1 || step == 16 || step == -16;
          int other = -oside;
          for (int t = x + step; onBoard(t); t += step) {
            const PieceRecord *T = b->at(t);
            int tcode = T->kind->code;
            if (!(attackCapability(t - x) & xcap)) {
              if (!straight && tcode == codeOf(other, BISHOP)) break;
              if (okind == KING && tcode != codeOf(other, QUEEN)) addTo(squareTable(b, other, QUEEN), t, v);
              if (straight && tcode != codeOf(other, ROOK)) addTo(squareTable(b, other, ROOK), t, v);
              if (!straight) addTo(squareTable(b, other, BISHOP), t, v);
            }
            if (T->colour != 0) break;
          }
        }
      }
    }
  }
}
