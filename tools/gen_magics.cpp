// Offline generator of the slider multipliers in engine/board/tables/magics_data.cpp.
//
//   gen_magics > engine/board/tables/magics_data.cpp
//
// For every square it searches a multiplier that sends each occupancy subset of
// the square's relevant squares into a block of 2^bits entries, where bits is
// the number of relevant squares (12/11/10 for rooks, 9..5 for bishops), such
// that subsets sharing an index have the same attack set. Six multipliers are
// fixed in advance (a1, b1 and h8 of each kind); they are checked, not searched.
// The search is deterministic, so a rerun writes the same file.
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

struct Fixed {
  int square;
  uint64_t magic;
};
const Fixed kFixedRook[] = {{0, 0x80004000976080ULL}, {1, 0x1040400010002000ULL}, {63, 0x1001040311802142ULL}};
const Fixed kFixedBishop[] = {{0, 0x1024b002420160ULL}, {1, 0x1008080140420021ULL}, {63, 0x10140848044010ULL}};

const int kRookDirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
const int kBishopDirs[4][2] = {{1, 1}, {-1, -1}, {-1, 1}, {1, -1}};

bool inside(int f, int r) { return f >= 0 && f < 8 && r >= 0 && r < 8; }

// Relevant squares: each line up to the square before the board edge.
uint64_t relevantMask(int sq, const int dirs[4][2]) {
  uint64_t m = 0;
  for (int d = 0; d < 4; d++) {
    int f = (sq & 7) + dirs[d][0], r = (sq >> 3) + dirs[d][1];
    while (inside(f + dirs[d][0], r + dirs[d][1])) {
      m |= 1ULL << (8 * r + f);
      f += dirs[d][0];
      r += dirs[d][1];
    }
  }
  return m;
}

// Attack set by ray walk: each line up to and including the first occupied square.
uint64_t walkAttacks(int sq, uint64_t occ, const int dirs[4][2]) {
  uint64_t a = 0;
  for (int d = 0; d < 4; d++) {
    int f = (sq & 7) + dirs[d][0], r = (sq >> 3) + dirs[d][1];
    while (inside(f, r)) {
      uint64_t bit = 1ULL << (8 * r + f);
      a |= bit;
      if (occ & bit) break;
      f += dirs[d][0];
      r += dirs[d][1];
    }
  }
  return a;
}

uint64_t rngState = 0x2545F4914F6CDD1DULL;
uint64_t next64() {
  rngState ^= rngState >> 12;
  rngState ^= rngState << 25;
  rngState ^= rngState >> 27;
  return rngState * 0x2545F4914F6CDD1DULL;
}

struct SquareData {
  int bits;
  std::vector<uint64_t> subsets, attacks;
};

SquareData squareData(int sq, const int dirs[4][2]) {
  SquareData s;
  uint64_t mask = relevantMask(sq, dirs);
  s.bits = __builtin_popcountll(mask);
  uint64_t sub = 0;
  do {  // every subset of the mask (carry-rippler)
    s.subsets.push_back(sub);
    s.attacks.push_back(walkAttacks(sq, sub, dirs));
    sub = (sub - mask) & mask;
  } while (sub);
  return s;
}

bool magicWorks(const SquareData &s, uint64_t magic, std::vector<uint64_t> &used) {
  used.assign(size_t(1) << s.bits, 0);
  for (size_t i = 0; i < s.subsets.size(); i++) {
    size_t idx = (size_t)((s.subsets[i] * magic) >> (64 - s.bits));
    if (used[idx] == 0)
      used[idx] = s.attacks[i];  // attack sets are never empty
    else if (used[idx] != s.attacks[i])
      return false;
  }
  return true;
}

bool findMagics(const int dirs[4][2], const Fixed *fixed, int nFixed, const char *name, uint64_t out[64]) {
  std::vector<uint64_t> used;
  for (int sq = 0; sq < 64; sq++) {
    SquareData s = squareData(sq, dirs);
    uint64_t mask = relevantMask(sq, dirs);
    bool isFixed = false;
    for (int i = 0; i < nFixed; i++) {
      if (fixed[i].square != sq) continue;
      isFixed = true;
      if (!magicWorks(s, fixed[i].magic, used)) {
        fprintf(stderr, "fixed %s multiplier of square %d fails\n", name, sq);
        return false;
      }
      out[sq] = fixed[i].magic;
    }
    if (isFixed) continue;
    for (long tries = 0;; tries++) {
      if (tries > 100000000L) {
        fprintf(stderr, "no %s multiplier found for square %d\n", name, sq);
        return false;
      }
      uint64_t m = next64() & next64() & next64();
      if (__builtin_popcountll((mask * m) & 0xFF00000000000000ULL) < 6) continue;
      if (magicWorks(s, m, used)) {
        out[sq] = m;
        break;
      }
    }
  }
  return true;
}

void printTable(const char *name, const uint64_t m[64]) {
  printf("const uint64_t %s[64] = {\n", name);
  for (int sq = 0; sq < 64; sq += 4)
    printf("    0x%016llxULL, 0x%016llxULL, 0x%016llxULL, 0x%016llxULL,\n", (unsigned long long)m[sq],
           (unsigned long long)m[sq + 1], (unsigned long long)m[sq + 2], (unsigned long long)m[sq + 3]);
  printf("};\n");
}

}  // namespace

int main() {
  uint64_t rook[64], bishop[64];
  if (!findMagics(kRookDirs, kFixedRook, 3, "rook", rook)) return 1;
  if (!findMagics(kBishopDirs, kFixedBishop, 3, "bishop", bishop)) return 1;
  printf("// Slider multipliers, square a1..h8: ((occupancy & mask) * magic) >> (64 - bits)\n");
  printf("// indexes a square's block in the attack tables. Written by tools/gen_magics.\n");
  printf("#include \"engine/board/tables/magics.h\"\n\n");
  printTable("rookMagic", rook);
  printf("\n");
  printTable("bishopMagic", bishop);
  return 0;
}
