#include "tablebases/index_engine.h"

#include <cassert>

#include "tablebases/enumerations.h"
#include "tablebases/index_tables.h"

namespace {

constexpr int EP_CODES = 14;          // capture codes 0..13
constexpr int EP_PAWN_SQUARES = 44;   // the mover's other pawns skip four squares
constexpr int KING_SLOT = 15;
constexpr int FIRST_PAWN_SQUARE = 8;
constexpr int EP_RANK_UP = 5, EP_RANK_DOWN = 2;  // rank of the e.p. square by direction

inline uint64_t bit(int s) { return uint64_t(1) << s; }
inline int countBelow(uint64_t set, int s) { return __builtin_popcountll(set & (bit(s) - 1)); }

// Sorts up to three values in place, ascending.
inline void sortThree(int* d, int n) {
  auto order = [](int& x, int& y) {
    if (x > y) {
      const int t = x;
      x = y;
      y = t;
    }
  };
  if (n >= 2) order(d[0], d[1]);
  if (n == 3) {
    order(d[1], d[2]);
    order(d[0], d[1]);
  }
}

// Value of n like digits: d1 + C(d2, 2) + C(d3, 3) over the sorted digits.
inline int64_t likeValue(int* d, int n) {
  if (n == 0) return 0;
  sortThree(d, n);
  int64_t v = d[0];
  for (int i = 1; i < n; i++) v += tbChoose(d[i], i + 1);
  return v;
}

// Squares of both sides in the working frame: [0] the mover, [1] the opponent.
struct Frame {
  int32_t sq[2][16];
  int km, ko;  // the kings
  uint64_t occupied;
};

// Group value of units whose squares are XORed with `flip`: the kings `a`
// (mover) and `b` (reference) are already flipped. -1 when a man stands on a
// square its kind may not use.
int64_t groupValue(const TbUnit* units, int count, const Frame& f, int flip, int a, int b) {
  int64_t g = 0;
  for (int u = 0; u < count; u++) {
    const TbUnit& unit = units[u];
    const int8_t* ranks = pieceRank[unit.kind] + b * TB_SQUARES;
    const bool kingAllowed = ranks[a] != -1;
    int d[3] = {0, 0, 0};
    for (int i = 0; i < unit.count; i++) {
      const int s = f.sq[unit.who][unit.slot + i] ^ flip;
      if (ranks[s] < 0) return -1;
      d[i] = ranks[s] - (kingAllowed && a < s ? 1 : 0);
    }
    const int avail = pieceRankCount[unit.kind][b] - (kingAllowed ? 1 : 0);
    g = g * tbChoose(avail, unit.count) + likeValue(d, unit.count);
  }
  return g;
}

uint64_t unitBits(const TbUnit& unit, const Frame& f) {
  uint64_t bits = 0;
  for (int i = 0; i < unit.count; i++) bits |= bit(f.sq[unit.who][unit.slot + i]);
  return bits;
}

// G: the group's offset at the king pair plus its value; the king pair itself
// when there is no group.
uint64_t groupIndex(const TbIndexPlan& plan, const TbUnit* units, int count, int32_t key, const Frame& f,
                    int flip) {
  const int a = f.km ^ flip, b = f.ko ^ flip;
  const int kk = (plan.pawns ? kkIndexPawns : kkIndexPawnless)[a][b];
  if (kk == TB_NO_PAIR) return TB_NO_INDEX;
  if (key < 0) return static_cast<uint64_t>(kk);
  const int64_t g = groupValue(units, count, f, flip, a, b);
  if (g < 0) return TB_NO_INDEX;
  return static_cast<uint64_t>(groupOffsets[plan.pawns ? 1 : 0][key][kk]) + static_cast<uint64_t>(g);
}

uint64_t normalIndex(const TbIndexPlan& plan, const Frame& f) {
  const uint64_t G = groupIndex(plan, plan.group, plan.groupUnits, plan.groupKey, f, plan.groupFlip);
  if (G == TB_NO_INDEX) return TB_NO_INDEX;
  uint64_t placed = bit(f.km) | bit(f.ko), pawnsPlaced = 0;
  for (int u = 0; u < plan.groupUnits; u++) {
    const uint64_t bits = unitBits(plan.group[u], f);
    placed |= bits;
    if (plan.group[u].kind <= kindPawn) pawnsPlaced |= bits;
  }
  int64_t values[4];
  for (int u = 0; u < plan.freeUnits; u++) {
    const TbUnit& unit = plan.freeUnit[u];
    const bool pawn = unit.kind == kindPawn;
    int d[3] = {0, 0, 0};
    for (int i = 0; i < unit.count; i++) {
      const int s = f.sq[unit.who][unit.slot + i];
      d[i] = pawn ? s - FIRST_PAWN_SQUARE - countBelow(pawnsPlaced, s) : s - countBelow(placed, s);
      if (d[i] < 0 || d[i] >= unit.avail) return TB_NO_INDEX;
    }
    values[u] = likeValue(d, unit.count);
    const uint64_t bits = unitBits(unit, f);
    placed |= bits;
    if (pawn) pawnsPlaced |= bits;
  }
  uint64_t F = 0;
  for (int k = 0; k < plan.freeUnits; k++) {
    const TbUnit& unit = plan.freeUnit[plan.digitOrder[k]];
    F = F * static_cast<uint64_t>(unit.range) + static_cast<uint64_t>(values[plan.digitOrder[k]]);
  }
  return G * plan.freeRange + F;
}

// Index in the e.p. block; `e` is the e.p. square in the working frame. The
// mover's pawns move up the board on side 0, down on side 1.
uint64_t epIndex(const TbIndexPlan& plan, const Frame& f, int e) {
  const bool up = plan.moverFirst;
  if ((e >> 3) != (up ? EP_RANK_UP : EP_RANK_DOWN)) return TB_NO_INDEX;
  const int moved = up ? e - 8 : e + 8, origin = up ? e + 8 : e - 8;
  const uint64_t epSquares = bit(e) | bit(origin);
  if (f.occupied & epSquares) return TB_NO_INDEX;

  uint64_t pawnBits = 0, moverBits = 0;
  int movedSlot = -1;
  for (int i = 0; i < plan.pawnCount[1]; i++) {
    pawnBits |= bit(f.sq[1][i]);
    if (f.sq[1][i] == moved) movedSlot = i;
  }
  if (movedSlot < 0) return TB_NO_INDEX;
  for (int i = 0; i < plan.menCount[0]; i++) moverBits |= bit(f.sq[0][plan.menSlot[0][i]]);
  int pawns[3] = {0, 0, 0};
  for (int i = 0; i < plan.pawnCount[0]; i++) {
    pawns[i] = f.sq[0][i];
    pawnBits |= bit(pawns[i]);
  }
  sortThree(pawns, plan.pawnCount[0]);

  // The capturer: the lowest mover's pawn on a capturing square, the square
  // towards file a tested first.
  const int right = up ? e - 7 : e + 9, left = up ? e - 9 : e + 7;
  int capturer = -1, code = 0;
  for (int i = 0; i < plan.pawnCount[0] && capturer < 0; i++) {
    const int s = pawns[i], file = s & 7;
    if (s == right && file > 0) {
      capturer = s;
      code = file - 1;
    } else if (s == left && file < 7) {
      capturer = s;
      code = file + 7;
    }
  }
  if (capturer < 0) return TB_NO_INDEX;

  uint64_t index = groupIndex(plan, plan.epGroup, plan.epGroupUnits, plan.epGroupKey, f, 0);
  if (index == TB_NO_INDEX) return TB_NO_INDEX;
  uint64_t placed = bit(f.km) | bit(f.ko) | moverBits | pawnBits | epSquares;
  for (int u = 0; u < plan.epOppUnits; u++) {
    const TbUnit& unit = plan.epOpp[u];
    int d[3] = {0, 0, 0}, n = 0;
    if (unit.kind == kindPawn) {
      uint64_t own = 0;
      for (int i = 0; i < plan.pawnCount[1]; i++)
        if (i != movedSlot) own |= bit(f.sq[1][i]);
      const uint64_t others = (pawnBits & ~own) | epSquares;
      for (int i = 0; i < plan.pawnCount[1]; i++) {
        if (i == movedSlot) continue;
        const int s = f.sq[1][i];
        d[n++] = s - FIRST_PAWN_SQUARE - countBelow(others, s);
      }
    } else {
      for (int i = 0; i < unit.count; i++) {
        const int s = f.sq[1][unit.slot + i];
        d[n++] = s - countBelow(placed, s);
      }
      placed |= unitBits(unit, f);
    }
    for (int i = 0; i < n; i++)
      if (d[i] < 0 || d[i] >= unit.avail) return TB_NO_INDEX;
    index = index * static_cast<uint64_t>(unit.range) + static_cast<uint64_t>(likeValue(d, n));
  }
  if (plan.epMoverPawns > 0) {
    const uint64_t skipped = bit(capturer) | bit(moved) | epSquares;
    int d[3] = {0, 0, 0}, n = 0;
    for (int i = 0; i < plan.pawnCount[0]; i++) {
      if (pawns[i] == capturer) continue;
      d[n] = pawns[i] - FIRST_PAWN_SQUARE - countBelow(skipped, pawns[i]);
      if (d[n] < 0 || d[n] >= EP_PAWN_SQUARES) return TB_NO_INDEX;
      n++;
    }
    index = index * static_cast<uint64_t>(tbChoose(EP_PAWN_SQUARES, n)) + static_cast<uint64_t>(likeValue(d, n));
  }
  return plan.normalSize + index * EP_CODES + static_cast<uint64_t>(code);
}

// Maps both sides' squares into the working frame; false for a square outside
// 0..63 or a bad invert flag. `x` receives the XOR applied to squares.
bool buildFrame(const TbIndexPlan& plan, const int32_t* first, const int32_t* second, int32_t invert, Frame* f,
                int* x) {
  const int32_t* side[2] = {plan.moverFirst ? first : second, plan.moverFirst ? second : first};
  uint32_t bad = static_cast<uint32_t>(side[0][KING_SLOT]) | static_cast<uint32_t>(side[1][KING_SLOT]);
  for (int who = 0; who < 2; who++)
    for (int i = 0; i < plan.menCount[who]; i++) bad |= static_cast<uint32_t>(side[who][plan.menSlot[who][i]]);
  if (bad & ~uint32_t(TB_SQUARES - 1)) return false;
  bool transpose = false;
  const int rawMover = side[0][KING_SLOT];
  if (plan.pawns) {
    if (static_cast<uint32_t>(invert) > 1) return false;
    *x = mirrorFile[rawMover] ^ invertRank[invert];
  } else {
    *x = static_cast<int>(quadrantXor[rawMover]);
    const int km = rawMover ^ *x, ko = side[1][KING_SLOT] ^ *x;
    transpose = !((diagonalFlags[1][km] || diagonalFlags[2][ko]) && diagonalFlags[0][km]);
  }
  f->occupied = 0;
  for (int who = 0; who < 2; who++) {
    for (int i = -1; i < plan.menCount[who]; i++) {
      const int slot = i < 0 ? KING_SLOT : plan.menSlot[who][i];
      const int s = side[who][slot] ^ *x;
      f->sq[who][slot] = transpose ? transposeSquare[s] : s;
      f->occupied |= bit(f->sq[who][slot]);
    }
  }
  f->km = f->sq[0][KING_SLOT];
  f->ko = f->sq[1][KING_SLOT];
  return true;
}

// A swapped plan holds side 0's description: side 1 of an equal-material
// table is side 0 of the colour-reversed position.
void exchangeSides(const int32_t** first, const int32_t** second, int32_t* invert) {
  const int32_t* t = *first;
  *first = *second;
  *second = t;
  *invert ^= 1;
}

}  // namespace

uint64_t planIndex(const TbIndexPlan& plan, const int32_t* first, const int32_t* second, int32_t epSquare,
                   int32_t invert) {
  assert(first != nullptr && second != nullptr);
  if (!plan.valid) return TB_NO_INDEX;
  if (plan.swapSides) exchangeSides(&first, &second, &invert);
  Frame f;
  int x = 0;
  if (!buildFrame(plan, first, second, invert, &f, &x)) return TB_NO_INDEX;
  if (plan.hasEp && epSquare != 127) {
    if (static_cast<uint32_t>(epSquare) >= TB_SQUARES) return TB_NO_INDEX;
    return epIndex(plan, f, epSquare ^ x);
  }
  return normalIndex(plan, f);
}

uint64_t planGroupIndex(const TbIndexPlan& plan, const int32_t* first, const int32_t* second, int32_t invert,
                        bool epBlock) {
  assert(first != nullptr && second != nullptr && (!epBlock || plan.hasEp));
  if (!plan.valid) return TB_NO_INDEX;
  if (plan.swapSides) exchangeSides(&first, &second, &invert);
  Frame f;
  int x = 0;
  if (!buildFrame(plan, first, second, invert, &f, &x)) return TB_NO_INDEX;
  if (epBlock) return groupIndex(plan, plan.epGroup, plan.epGroupUnits, plan.epGroupKey, f, 0);
  return groupIndex(plan, plan.group, plan.groupUnits, plan.groupKey, f, plan.groupFlip);
}
