#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "tablebases/enumerations.h"
#include "tablebases/index_plan.h"
#include "tests/tb_position.h"

// Properties of the index functions over legal positions: every index lies
// below the side's stored length, distinct positions (up to the symmetries
// the frame allows) get distinct indices, and symmetric images get equal
// ones. Legality is judged by this file's own board code.
namespace {

constexpr int KING = 15;
constexpr int NO_EP = 127;

struct Man {
  int colour;  // 0: the table's first side
  int slot;
  bool pawn() const { return slot < 3; }
};

struct Position {
  int32_t sq[2][16];
  int ep;
};

struct Table {
  int id;
  int side;
  std::vector<Man> men;  // kings excluded, like men adjacent
  uint64_t length;
  bool pawns;
  TbIndexFn fn;
};

Table tableOf(int id, int side) {
  Table t{id, side, {}, 0, false, tbDescriptors[id].indexFn[side]};
  const char* name = tbDescriptors[id].name;
  int colour = -1;
  int used[2][16] = {};
  for (const char* p = name; *p; p++) {
    if (*p == 'k') {
      colour++;
      continue;
    }
    const int base = tbtest::firstSlot(static_cast<char>(*p - 'a' + 'A'));
    t.men.push_back(Man{colour, base + used[colour][base]++});
    if (*p == 'p') t.pawns = true;
  }
  t.length = static_cast<uint64_t>(tbDescriptors[id].length[side]);
  return t;
}

bool adjacent(int a, int b) { return std::abs((a & 7) - (b & 7)) <= 1 && std::abs((a >> 3) - (b >> 3)) <= 1; }

// Does the man of `colour` on `from` (kind by slot) attack `to`?
bool attacks(int slot, int colour, int from, int to, const bool* occupied) {
  const int fx = from % 8, fy = from / 8, tx = to % 8, ty = to / 8;
  const int dx = tx - fx, dy = ty - fy;
  if (slot < 3) return std::abs(dx) == 1 && dy == (colour == 0 ? 1 : -1);
  if (slot < 6) return std::abs(dx * dy) == 2;
  const bool line = (dx == 0 || dy == 0), diag = std::abs(dx) == std::abs(dy);
  const bool can = slot < 9 ? diag : slot < 12 ? line : (line || diag);
  if (!can || (dx == 0 && dy == 0)) return false;
  const int steps = std::max(std::abs(dx), std::abs(dy));
  for (int i = 1; i < steps; i++)
    if (occupied[(fy + dy / steps * i) * 8 + fx + dx / steps * i]) return false;
  return true;
}

bool legal(const Table& t, const Position& p) {
  bool occupied[64] = {};
  const int kings[2] = {p.sq[0][KING], p.sq[1][KING]};
  occupied[kings[0]] = occupied[kings[1]] = true;
  if (kings[0] == kings[1] || adjacent(kings[0], kings[1])) return false;
  for (const Man& m : t.men) {
    const int s = p.sq[m.colour][m.slot];
    if (s < 0 || s > 63 || occupied[s]) return false;
    if (m.pawn() && (s < 8 || s > 55)) return false;
    occupied[s] = true;
  }
  for (const Man& m : t.men)
    if (m.colour == t.side && attacks(m.slot, m.colour, p.sq[m.colour][m.slot], kings[1 - t.side], occupied))
      return false;
  if (p.ep == NO_EP) return true;
  // The opponent's pawn has just made a double step past the e.p. square,
  // and a mover's pawn stands beside it.
  const int up = t.side == 0 ? 1 : -1, e = p.ep;
  if ((e >> 3) != (t.side == 0 ? 5 : 2) || occupied[e] || occupied[e + 8 * up]) return false;
  bool moved = false, capturer = false;
  for (const Man& m : t.men) {
    if (!m.pawn()) continue;
    const int s = p.sq[m.colour][m.slot];
    if (m.colour != t.side && s == e - 8 * up) moved = true;
    if (m.colour == t.side && s >> 3 == (e >> 3) - up && std::abs((s & 7) - (e & 7)) == 1) capturer = true;
  }
  return moved && capturer;
}

uint64_t indexOf(const Table& t, const Position& p, int invert = 0) { return t.fn(p.sq[0], p.sq[1], p.ep, invert); }

// The position under a board transformation: squares XOR `xorMask`, then
// reflected in the a1-h8 diagonal when `transpose` is set.
Position transformed(const Table& t, const Position& p, int xorMask, bool transpose) {
  auto map = [&](int s) {
    s ^= xorMask;
    return transpose ? (s & 7) * 8 + (s >> 3) : s;
  };
  Position q = p;
  for (int c = 0; c < 2; c++) q.sq[c][KING] = map(p.sq[c][KING]);
  for (const Man& m : t.men) q.sq[m.colour][m.slot] = map(p.sq[m.colour][m.slot]);
  q.ep = p.ep == NO_EP ? NO_EP : map(p.ep);
  return q;
}

// Key of the position up to the order of like men.
uint64_t encode(const Table& t, const Position& q) {
  uint64_t k = uint64_t(q.sq[0][KING]) * 64 + q.sq[1][KING];
  for (size_t i = 0; i < t.men.size();) {
    int squares[16], n = 0;
    size_t j = i;
    while (j < t.men.size() && t.men[j].colour == t.men[i].colour && t.men[j].slot / 3 == t.men[i].slot / 3)
      squares[n++] = q.sq[t.men[j].colour][t.men[j++].slot];
    std::sort(squares, squares + n);
    for (int m = 0; m < n; m++) k = k * 64 + squares[m];
    i = j;
  }
  return k * 128 + q.ep;
}

bool onDiagonal(int s) { return (s & 7) == (s >> 3); }

// Both kings on one long diagonal (after bringing the mover's king into the
// a1-d4 quadrant): the table stores such a position and its reflection in
// that diagonal as two entries.
bool kingsOnDiagonal(const Table& t, const Position& p) {
  const int km = p.sq[t.side][KING], ko = p.sq[1 - t.side][KING];
  const int x = ((km & 7) >= 4 ? 7 : 0) ^ ((km >> 3) >= 4 ? 56 : 0);
  return onDiagonal(km ^ x) && onDiagonal(ko ^ x);
}

// The smallest key over the images the table's frame identifies: the file
// mirror with pawns, the eight board symmetries without (four when both kings
// share a long diagonal).
uint64_t key(const Table& t, const Position& p) {
  uint64_t best = encode(t, p);
  const int images = t.pawns ? 2 : kingsOnDiagonal(t, p) ? 4 : 8;
  for (int i = 1; i < images; i++) {
    const int mask = t.pawns ? 7 : (i & 3) == 1 ? 7 : (i & 3) == 2 ? 56 : (i & 3) == 3 ? 63 : 0;
    best = std::min(best, encode(t, transformed(t, p, mask, i >= 4)));
  }
  return best;
}

// The same for a position whose mover's king lies in the frame's region: only
// a pawnless position with that king on the diagonal (and the other king off
// it) has another image there, its reflection in the diagonal.
uint64_t regionKey(const Table& t, const Position& p) {
  const int km = p.sq[t.side][KING];
  if (t.pawns || !onDiagonal(km) || kingsOnDiagonal(t, p)) return encode(t, p);
  return std::min(encode(t, p), encode(t, transformed(t, p, 0, true)));
}

// Every e.p. square that makes the position an e.p. position.
std::vector<int> epSquares(const Table& t, const Position& p) {
  std::vector<int> out;
  const TbIndexPlan& plan = tbIndexPlans[t.id][t.side];
  if (!plan.hasEp) return out;
  for (int file = 0; file < 8; file++) {
    Position q = p;
    q.ep = (t.side == 0 ? 40 : 16) + file;
    if (legal(t, q)) out.push_back(q.ep);
  }
  return out;
}

class TbProperties : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() { initEnumerations(); }
};

// Records index -> key and reports the first collision of distinct keys.
struct CollisionCheck {
  std::vector<uint64_t> seen;
  explicit CollisionCheck(uint64_t length) : seen(length, UINT64_MAX) {}
  bool add(uint64_t index, uint64_t k) {
    if (seen[index] == UINT64_MAX) seen[index] = k;
    return seen[index] == k;
  }
};

void placeAll(const Table& t, Position& p, size_t i, CollisionCheck& check, int64_t& count, int& failures) {
  if (failures > 5) return;
  if (i == t.men.size()) {
    p.ep = NO_EP;
    if (!legal(t, p)) return;
    std::vector<int> eps = epSquares(t, p);
    eps.push_back(NO_EP);
    for (int ep : eps) {
      p.ep = ep;
      const uint64_t index = indexOf(t, p);
      count++;
      const uint64_t normal = tbIndexPlans[t.id][t.side].normalSize;
      const bool inBlock = ep == NO_EP ? index < normal : index >= normal;
      if (index >= t.length || !inBlock || !check.add(index, regionKey(t, p))) {
        if (++failures <= 5)
          ADD_FAILURE() << tbDescriptors[t.id].name << " side " << t.side << " index " << index << " ep " << ep
                        << " kings " << p.sq[0][KING] << "," << p.sq[1][KING];
      }
    }
    p.ep = NO_EP;
    return;
  }
  const Man& m = t.men[i];
  int low = m.pawn() ? 8 : 0;
  if (i > 0 && t.men[i - 1].colour == m.colour && t.men[i - 1].slot / 3 == m.slot / 3)
    low = p.sq[m.colour][t.men[i - 1].slot] + 1;
  for (int s = low; s < (m.pawn() ? 56 : 64); s++) {
    p.sq[m.colour][m.slot] = s;
    placeAll(t, p, i + 1, check, count, failures);
  }
}

// Every legal position of a three- or four-man table (the mover's king in the
// frame's region; the frame maps every other position onto these).
TEST_P(TbProperties, ExhaustiveSmallTable) {
  const int id = GetParam();
  for (int side = 0; side < 2; side++) {
    const Table t = tableOf(id, side);
    CollisionCheck check(t.length);
    int64_t count = 0;
    int failures = 0;
    Position p;
    memset(&p, 0xff, sizeof(p));
    for (int km = 0; km < 64; km++) {
      const bool region = t.pawns ? (km & 7) <= 3 : ((km & 7) <= 3 && (km >> 3) <= (km & 7));
      if (!region) continue;
      for (int ko = 0; ko < 64; ko++) {
        p.sq[side][KING] = km;
        p.sq[1 - side][KING] = ko;
        if (ko == km || adjacent(km, ko)) continue;
        placeAll(t, p, 0, check, count, failures);
      }
    }
    EXPECT_GT(count, 0);
    // Indices of every legal position cover the side's entries densely
    // enough that the largest one is the last stored entry.
    uint64_t largest = 0;
    for (uint64_t i = 0; i < check.seen.size(); i++)
      if (check.seen[i] != UINT64_MAX) largest = i;
    EXPECT_EQ(largest + 1, t.length) << tbDescriptors[id].name << " side " << side;
  }
}

INSTANTIATE_TEST_SUITE_P(ThreeAndFourMen, TbProperties, ::testing::Range(1, 36),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::string(tbDescriptors[info.param].name);
                         });


// A random legal position; with `wantEp` an e.p. position (the moved pawn in
// the opponent's first pawn slot, the capturer in the mover's).
bool randomPosition(const Table& t, std::mt19937_64& rng, bool wantEp, Position* p) {
  auto any = [&](int low, int high) { return low + static_cast<int>(rng() % uint64_t(high - low + 1)); };
  memset(p, 0xff, sizeof(*p));
  p->ep = NO_EP;
  p->sq[0][KING] = any(0, 63);
  p->sq[1][KING] = any(0, 63);
  for (const Man& m : t.men) p->sq[m.colour][m.slot] = m.pawn() ? any(8, 55) : any(0, 63);
  if (wantEp) {
    const int up = t.side == 0 ? 1 : -1, e = (t.side == 0 ? 40 : 16) + any(0, 7);
    p->ep = e;
    p->sq[1 - t.side][0] = e - 8 * up;
    const int dx = (rng() & 1) ? 1 : -1;
    if (((e & 7) + dx) < 0 || ((e & 7) + dx) > 7) return false;
    p->sq[t.side][0] = e - 8 * up + dx;
  }
  return legal(t, *p);
}

class TbSampled : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() { initEnumerations(); }
};

constexpr int SAMPLE_CHUNK = 15;    // tables per test case
constexpr int SAMPLES_PER_SIDE = 24;

// Seeded random positions of every table (the five- and six-man tables have
// no exhaustive sweep; the smaller ones get the image checks): indices below
// the stored length and in the right block, equal indices for the images,
// and no collision among all one-man moves of each sample.
TEST_P(TbSampled, RandomPositions) {
  const int firstId = GetParam(), lastId = std::min(firstId + SAMPLE_CHUNK - 1, TB_MAX_ID);
  for (int id = firstId; id <= lastId; id++) {
    for (int side = 0; side < 2; side++) {
      const Table t = tableOf(id, side);
      const TbIndexPlan& plan = tbIndexPlans[id][side];
      std::mt19937_64 rng(uint64_t(id) * 2 + side);
      const char* name = tbDescriptors[id].name;
      int failures = 0;
      for (int sample = 0; sample < SAMPLES_PER_SIDE && failures < 3;) {
        Position p;
        const bool wantEp = plan.hasEp && (sample & 1);
        if (!randomPosition(t, rng, wantEp, &p)) continue;
        sample++;
        const uint64_t index = indexOf(t, p);
        const bool inBlock = p.ep == NO_EP ? index < plan.normalSize : index >= plan.normalSize;
        if (index >= t.length || !inBlock) {
          ADD_FAILURE() << name << " side " << side << " index " << index << " ep " << p.ep;
          failures++;
          continue;
        }
        // Images: file mirror and colour reversal with pawns; the eight board
        // symmetries, any invert flag and e.p. square without.
        if (t.pawns) {
          EXPECT_EQ(indexOf(t, transformed(t, p, 7, false)), index) << name << " mirror";
          EXPECT_EQ(indexOf(t, transformed(t, p, 56, false), 1), index) << name << " colour reversed";
          EXPECT_EQ(indexOf(t, transformed(t, p, 63, false), 1), index) << name << " both";
        } else {
          for (int i = 1; i < (kingsOnDiagonal(t, p) ? 4 : 8); i++) {
            const int mask = (i & 3) == 1 ? 7 : (i & 3) == 2 ? 56 : (i & 3) == 3 ? 63 : 0;
            EXPECT_EQ(indexOf(t, transformed(t, p, mask, i >= 4), i & 1), index) << name << " image " << i;
          }
        }
        // Like men in the other slot order.
        for (size_t i = 0; i + 1 < t.men.size(); i++) {
          const Man& a = t.men[i];
          const Man& b = t.men[i + 1];
          if (a.colour != b.colour || a.slot / 3 != b.slot / 3) continue;
          Position q = p;
          std::swap(q.sq[a.colour][a.slot], q.sq[b.colour][b.slot]);
          EXPECT_EQ(indexOf(t, q), index) << name << " slot order";
        }
        // Every legal one-man move of the sample: distinct positions, distinct indices.
        std::unordered_map<uint64_t, uint64_t> seen;
        std::vector<std::pair<int, int>> movable = {{0, KING}, {1, KING}};
        for (const Man& m : t.men) movable.push_back({m.colour, m.slot});
        for (const auto& man : movable) {
          for (int s = 0; s < 64; s++) {
            Position q = p;
            q.sq[man.first][man.second] = s;
            if (!legal(t, q)) continue;
            const uint64_t i = indexOf(t, q), k = key(t, q);
            const bool ok = i < t.length && seen.emplace(i, k).first->second == k;
            if (!ok && ++failures <= 3) ADD_FAILURE() << name << " side " << side << " collision at " << i;
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTables, TbSampled, ::testing::Range(1, TB_MAX_ID + 1, SAMPLE_CHUNK),
                         [](const testing::TestParamInfo<int>& info) {
                           return "ids" + std::to_string(info.param);
                         });

}  // namespace
