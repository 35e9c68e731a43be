// The bitboard tables built at engine initialisation: square bits, slider
// masks and magic-indexed attack blocks, leaper and pawn attacks, rays.
#include "engine/board/tables/bitboard.h"

#include <cstddef>
#include <mutex>

#include "platform/platform.h"

uint64_t squareBit[64];
uint64_t notSquareBit[64];
uint64_t squareBit88[120];
uint64_t notSquareBit88[120];
uint64_t rookMask[64];
uint64_t bishopMask[64];
int32_t rookOffset[64];
int32_t bishopOffset[64];
uint64_t rookAtts[102400];
uint64_t bishopAtts[5248];
uint64_t knightAttacks[64];
uint64_t kingAttacks[64];
uint64_t whitePawnAttacks[64];
uint64_t blackPawnAttacks[64];
uint64_t rays[8][64];
uint64_t couldAttack[64];

namespace {

const int kRookSteps[4] = {1, -1, 16, -16};
const int kBishopSteps[4] = {17, -17, 15, -15};
const int kRaySteps[8] = {1, -1, 8, -8, 9, -9, 7, -7};
const int kKnightSteps[8] = {-17, -15, -10, -6, 6, 10, 15, 17};
const int kKingSteps[8] = {-9, -8, -7, -1, 1, 7, 8, 9};

uint64_t bitOf88(int sq) { return 1ULL << sq88To64[sq]; }

// Build one square's slider block at table[0 .. 2^bits - 1]: collect the
// relevant squares (each line up to the square before the edge), then for each
// line walk outward up to and including the edge square and OR that square into
// the entry of every relevant subset that leaves the nearer squares of the line
// empty.
void buildSliderBlock(int b, const int steps[4], int bits, uint64_t magic, uint64_t *table, uint64_t *maskOut) {
  const int n = 1 << bits;
  for (int i = 0; i < n; i++) table[i] = 0;

  int from = sq64To88[b];
  uint64_t mask = 0;
  int nAttacks = 0;
  for (int d = 0; d < 4; d++)
    for (int s = from + steps[d]; onBoard(s) && onBoard(s + steps[d]); s += steps[d]) {
      mask |= bitOf88(s);
      nAttacks++;
    }
  ENGINE_ASSERT(bits == nAttacks);
  *maskOut = mask;

  for (int d = 0; d < 4; d++) {
    uint64_t nearer = 0;
    for (int s = from + steps[d]; onBoard(s); s += steps[d]) {
      uint64_t sub = 0;
      do {  // every subset of the mask (carry-rippler)
        if ((sub & nearer) == 0) {
          int index = (int)((sub * magic) >> (64 - bits));
          ENGINE_ASSERT(index >= 0 && index < n);
          table[index] |= bitOf88(s);
        }
        sub = (sub - mask) & mask;
      } while (sub);
      nearer |= bitOf88(s) & mask;
    }
  }
}

// Bitboard square b + step, if the step stays on the board.
uint64_t stepBit(int b, int step) {
  return (edgeBlocked(step) >> b) & 1 ? 0 : 1ULL << (b + step);
}

void buildAll() {
  for (int i = 0; i < 120; i++) {
    squareBit88[i] = 0;
    notSquareBit88[i] = ~0ULL;
  }
  size_t rookIndex = 0, bishopIndex = 0;
  for (int b = 0; b < 64; b++) {
    rookOffset[b] = (int32_t)rookIndex;
    squareBit[b] = 1ULL << b;
    notSquareBit[b] = ~squareBit[b];
    squareBit88[sq64To88[b]] = squareBit[b];
    notSquareBit88[sq64To88[b]] = notSquareBit[b];

    // The blocks must fit before they are written: a wrong bits table would
    // otherwise run past the end of the attack arrays.
    ENGINE_ASSERT(rookIndex + ((size_t)1 << rookBits[b]) <= sizeof rookAtts / sizeof rookAtts[0]);
    buildSliderBlock(b, kRookSteps, rookBits[b], rookMagic[b], rookAtts + rookIndex, &rookMask[b]);
    bishopOffset[b] = (int32_t)bishopIndex;
    ENGINE_ASSERT(bishopIndex + ((size_t)1 << bishopBits[b]) <= sizeof bishopAtts / sizeof bishopAtts[0]);
    buildSliderBlock(b, kBishopSteps, bishopBits[b], bishopMagic[b], bishopAtts + bishopIndex, &bishopMask[b]);
    rookIndex += (size_t)1 << rookBits[b];
    bishopIndex += (size_t)1 << bishopBits[b];

    whitePawnAttacks[b] = stepBit(b, 7) | stepBit(b, 9);
    blackPawnAttacks[b] = stepBit(b, -9) | stepBit(b, -7);

    knightAttacks[b] = 0;
    kingAttacks[b] = 0;
    for (int i = 0; i < 8; i++) {
      knightAttacks[b] |= stepBit(b, kKnightSteps[i]);
      kingAttacks[b] |= stepBit(b, kKingSteps[i]);
    }

    couldAttack[b] = knightAttacks[b];
    for (int i = 0; i < 8; i++) {
      uint64_t ray = 0;
      for (int s = b; !((edgeBlocked(kRaySteps[i]) >> s) & 1);) {
        s += kRaySteps[i];
        ray |= 1ULL << s;
      }
      rays[i][b] = ray;
      couldAttack[b] |= ray;
    }
  }
  ENGINE_ASSERT(rookIndex == sizeof rookAtts / sizeof rookAtts[0]);
  ENGINE_ASSERT(bishopIndex == sizeof bishopAtts / sizeof bishopAtts[0]);
}

std::once_flag builtOnce;

}  // namespace

// Called on every engine initialisation; the tables are the same every time, so
// only the first call builds them (later calls never rewrite tables that other
// threads may be reading).
void initBitboards() { std::call_once(builtOnce, buildAll); }
