#include "tablebases/length_search.h"

#include <algorithm>
#include <cassert>
#include <vector>

#include "tablebases/descriptor.h"
#include "tablebases/index_engine.h"
#include "tablebases/index_plan.h"
#include "tablebases/index_tables.h"

namespace {

constexpr int KING_SLOT = 15;
constexpr int WHITE = 0, BLACK = 1;

// One man other than the kings: colour (0 the table's first side), slot.
struct Man {
  int colour;
  int slot;
  bool pawn() const { return slot < 3; }
};

inline uint64_t bit(int s) { return uint64_t(1) << s; }
inline bool onBoard(int f, int r) { return f >= 0 && f < 8 && r >= 0 && r < 8; }

// True when the man on `from` (slot tells its kind, colour its pawn
// direction) attacks `target` with the board occupied by `occ`.
bool attacks(int slot, int colour, int from, int target, uint64_t occ) {
  const int ff = from & 7, fr = from >> 3, tf = target & 7, tr = target >> 3;
  const int df = tf - ff, dr = tr - fr;
  if (slot < 3) return (df == 1 || df == -1) && dr == (colour == WHITE ? 1 : -1);
  if (slot < 6) return (df * df + dr * dr) == 5;
  const bool diagonal = df != 0 && (df == dr || df == -dr);
  const bool straight = (df == 0) != (dr == 0);
  if (slot < 9 && !diagonal) return false;
  if (slot >= 9 && slot < 12 && !straight) return false;
  if (slot >= 12 && !diagonal && !straight) return false;
  const int sf = (df > 0) - (df < 0), sr = (dr > 0) - (dr < 0);
  for (int f = ff + sf, r = fr + sr; onBoard(f, r); f += sf, r += sr) {
    if (r * 8 + f == target) return true;
    if (occ & bit(r * 8 + f)) return false;
  }
  return false;
}

struct Search {
  const TbIndexPlan* plan;
  TbIndexFn fn;
  int mover;  // colour to move
  bool epBlock;
  int32_t sq[2][16];
  uint64_t occ;
  std::vector<Man> men;  // every man but the kings
  std::vector<Man> major, rest;
  int ep;
  bool found;
  uint64_t best;
};

bool legal(const Search& s) {
  const int king = s.sq[1 - s.mover][KING_SLOT];
  for (const Man& m : s.men)
    if (m.colour == s.mover && attacks(m.slot, m.colour, s.sq[m.colour][m.slot], king, s.occ)) return false;
  return true;
}

// Lowest square a man may take: like men of one side follow each other upwards.
int lowestSquare(const Search& s, const std::vector<Man>& list, size_t i, const Man& m) {
  int low = m.pawn() ? 8 : 0;
  if (i > 0) {
    const Man& prev = list[i - 1];
    const bool sameKind = prev.colour == m.colour && prev.slot / 3 == m.slot / 3;
    if (sameKind) low = std::max(low, s.sq[prev.colour][prev.slot] + 1);
  }
  return low;
}

void placeRest(Search& s, size_t i, uint64_t forbidden) {
  if (i == s.rest.size()) {
    if (!legal(s)) return;
    const uint64_t index = s.fn(s.sq[WHITE], s.sq[BLACK], s.ep, 0);
    assert(index != TB_NO_INDEX);
    if (!s.found || index > s.best) s.best = index;
    s.found = true;
    return;
  }
  const Man& m = s.rest[i];
  const int high = m.pawn() ? 55 : 63;
  for (int q = lowestSquare(s, s.rest, i, m); q <= high; q++) {
    if ((s.occ | forbidden) & bit(q)) continue;
    s.sq[m.colour][m.slot] = q;
    s.occ |= bit(q);
    placeRest(s, i + 1, forbidden);
    s.occ &= ~bit(q);
  }
}

// E.p. positions around one placement of the kings and the major men: the
// moved pawn (opponent's slot 0), the capturer (mover's slot 0), then the rest.
void placeEpRest(Search& s) {
  const bool up = s.mover == WHITE;
  const int opp = 1 - s.mover;
  for (int file = 0; file < 8; file++) {
    const int e = (up ? 40 : 16) + file;
    const int moved = up ? e - 8 : e + 8, origin = up ? e + 8 : e - 8;
    if (s.occ & (bit(e) | bit(moved) | bit(origin))) continue;
    s.sq[opp][0] = moved;
    s.occ |= bit(moved);
    for (int towardsA = 0; towardsA < 2; towardsA++) {
      if (towardsA ? file == 7 : file == 0) continue;
      const int capturer = towardsA ? (up ? e - 7 : e + 9) : (up ? e - 9 : e + 7);
      if (s.occ & bit(capturer)) continue;
      s.sq[s.mover][0] = capturer;
      s.occ |= bit(capturer);
      s.ep = e;
      placeRest(s, 0, bit(e) | bit(origin));
      s.occ &= ~bit(capturer);
    }
    s.occ &= ~bit(moved);
  }
  s.ep = 127;
}

struct MajorPlacement {
  uint64_t key;
  int squares[3];
};

void placeMajor(Search& s, size_t i, std::vector<MajorPlacement>& out) {
  if (i == s.major.size()) {
    const uint64_t key = planGroupIndex(*s.plan, s.sq[WHITE], s.sq[BLACK], 0, s.epBlock);
    if (key == TB_NO_INDEX) return;
    MajorPlacement p{key, {0, 0, 0}};
    for (size_t k = 0; k < s.major.size(); k++) p.squares[k] = s.sq[s.major[k].colour][s.major[k].slot];
    out.push_back(p);
    return;
  }
  const Man& m = s.major[i];
  const int high = m.pawn() ? 55 : 63;
  for (int q = lowestSquare(s, s.major, i, m); q <= high; q++) {
    if (s.occ & bit(q)) continue;
    s.sq[m.colour][m.slot] = q;
    s.occ |= bit(q);
    placeMajor(s, i + 1, out);
    s.occ &= ~bit(q);
  }
}

bool isMajor(const TbIndexPlan& plan, bool epBlock, int who, int slot) {
  const TbUnit* units = epBlock ? plan.epGroup : plan.group;
  const int count = epBlock ? plan.epGroupUnits : plan.groupUnits;
  for (int u = 0; u < count; u++)
    if (units[u].who == who && slot >= units[u].slot && slot < units[u].slot + units[u].count) return true;
  return false;
}

// Largest index of one block (normal or e.p.); false when it holds no legal
// position.
bool searchBlock(Search& s, uint64_t* largest) {
  const TbIndexPlan& plan = *s.plan;
  const int16_t(&pairs)[64][64] = plan.pawns ? kkIndexPawns : kkIndexPawnless;
  const int pairCount = plan.pawns ? TB_PAIRS_PAWNS : TB_PAIRS_PAWNLESS;
  std::vector<int> pairA(pairCount), pairB(pairCount);
  for (int a = 0; a < 64; a++)
    for (int b = 0; b < 64; b++)
      if (pairs[a][b] != TB_NO_PAIR) {
        pairA[pairs[a][b]] = a;
        pairB[pairs[a][b]] = b;
      }
  s.major.clear();
  s.rest.clear();
  for (const Man& m : s.men) {
    const int who = m.colour == s.mover ? 0 : 1;
    const bool fixedByEp = s.epBlock && m.slot == 0;  // moved pawn and capturer
    if (isMajor(plan, s.epBlock, who, m.slot)) s.major.push_back(m);
    else if (!fixedByEp) s.rest.push_back(m);
  }
  const int flip = s.epBlock ? 0 : plan.groupFlip;
  for (int kk = pairCount - 1; kk >= 0; kk--) {
    s.sq[s.mover][KING_SLOT] = pairA[kk] ^ flip;
    s.sq[1 - s.mover][KING_SLOT] = pairB[kk] ^ flip;
    s.occ = bit(pairA[kk] ^ flip) | bit(pairB[kk] ^ flip);
    std::vector<MajorPlacement> placements;
    placeMajor(s, 0, placements);
    std::sort(placements.begin(), placements.end(),
              [](const MajorPlacement& x, const MajorPlacement& y) { return x.key > y.key; });
    for (size_t i = 0; i < placements.size();) {
      size_t j = i;
      for (; j < placements.size() && placements[j].key == placements[i].key; j++) {
        for (size_t k = 0; k < s.major.size(); k++) {
          s.sq[s.major[k].colour][s.major[k].slot] = placements[j].squares[k];
          s.occ |= bit(placements[j].squares[k]);
        }
        if (s.epBlock) placeEpRest(s);
        else placeRest(s, 0, 0);
        for (size_t k = 0; k < s.major.size(); k++) s.occ &= ~bit(placements[j].squares[k]);
      }
      if (s.found) {
        *largest = s.best;
        return true;
      }
      i = j;
    }
  }
  return false;
}

}  // namespace

int64_t tbSearchLength(int id, int side) {
  assert(id >= 1 && id <= TB_MAX_ID && (side == 0 || side == 1));
  if (tbDescriptors[id].flags & tbFlagSymmetric) side = 0;
  Search s{};
  s.plan = &tbIndexPlans[id][side];
  s.fn = tbDescriptors[id].indexFn[side];
  s.mover = side == 0 ? WHITE : BLACK;
  s.ep = 127;
  for (int who = 0; who < 2; who++) {
    const int colour = who == 0 ? s.mover : 1 - s.mover;
    for (int i = 0; i < s.plan->menCount[who]; i++) s.men.push_back(Man{colour, s.plan->menSlot[who][i]});
  }
  uint64_t largest = 0;
  for (int block = s.plan->hasEp ? 1 : 0; block >= 0; block--) {
    s.epBlock = block == 1;
    s.found = false;
    if (searchBlock(s, &largest)) return static_cast<int64_t>(largest) + 1;
  }
  return 0;
}
