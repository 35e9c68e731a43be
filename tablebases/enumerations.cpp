#include "tablebases/enumerations.h"

#include <cassert>
#include <cstdio>
#include <cstring>

#include "tablebases/index_plan.h"
#include "tablebases/index_tables.h"
#include "tablebases/tb_alloc.h"

int8_t* pieceRank[TB_KINDS];
uint8_t* pieceRankCount[TB_KINDS];
int32_t* kkOffsetPawns[TB_KINDS];
int32_t* kkOffsetPawnless[TB_KINDS];
int32_t* groupOffsets[2][TB_GROUP_KEYS];
int32_t groupTotals[2][TB_GROUP_KEYS];
bool tbVerbose = false;

namespace {

bool enumerationsBuilt = false;

constexpr int kKnightSteps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};

int fileOf(int sq) { return sq & 7; }
int rankOf(int sq) { return sq >> 3; }
int distanceFile(int a, int b) { return fileOf(a) > fileOf(b) ? fileOf(a) - fileOf(b) : fileOf(b) - fileOf(a); }
int distanceRank(int a, int b) { return rankOf(a) > rankOf(b) ? rankOf(a) - rankOf(b) : rankOf(b) - rankOf(a); }

// True when a man of `kind` on `s` would attack the king on `k` at contact.
bool contactAttack(int kind, int s, int k) {
  const int df = distanceFile(s, k), dr = distanceRank(s, k);
  switch (kind) {
    case kindOppPawn:
      return false;
    case kindPawn:
      return (k == s + 7 && fileOf(s) != 0) || (k == s + 9 && fileOf(s) != 7);
    case kindKnight:
      for (const auto& step : kKnightSteps) {
        const int f = fileOf(s) + step[0], r = rankOf(s) + step[1];
        if (f >= 0 && f < 8 && r >= 0 && r < 8 && r * 8 + f == k) return true;
      }
      return false;
    case kindBishop:
      return df == 1 && dr == 1;
    case kindRook:
      return df + dr == 1;
    default:
      return df <= 1 && dr <= 1;
  }
}


// Placements of a group of kinds (highest first) for one king pair.
int64_t pairCount(int count, const int* kinds, int a, int b) {
  int64_t product = 1;
  for (int i = 0; i < count;) {
    int n = 1;
    while (i + n < count && kinds[i + n] == kinds[i]) n++;
    product *= tbChoose(tbAvailable(kinds[i], b, a), n);
    i += n;
  }
  return product;
}

void sumGroup(int32_t* offsets, const int16_t (&pairs)[64][64], int count, const int* kinds, int32_t* total) {
  int64_t sum = 0;
  for (int a = 0; a < TB_SQUARES; a++) {
    for (int b = 0; b < TB_SQUARES; b++) {
      if (pairs[a][b] == TB_NO_PAIR) continue;
      offsets[pairs[a][b]] = static_cast<int32_t>(sum);
      sum += pairCount(count, kinds, a, b);
    }
  }
  assert(sum < (int64_t(1) << 31));
  *total = static_cast<int32_t>(sum);
}

void buildGroup(int variant, int count, const int* kinds) {
  const int key = tbGroupKey(count, kinds);
  const int pairs = variant ? TB_PAIRS_PAWNS : TB_PAIRS_PAWNLESS;
  int32_t* offsets = static_cast<int32_t*>(tbAlloc(sizeof(int32_t) * pairs));
  const int16_t(&pairTable)[64][64] = variant ? kkIndexPawns : kkIndexPawnless;
  int32_t* total = &groupTotals[variant][key];
  if (count == 1) sumOneGroup(offsets, pairTable, kinds[0], total);
  else if (count == 2) sumTwoGroup(offsets, pairTable, kinds[0], kinds[1], total);
  else sumThreeGroup(offsets, pairTable, kinds[0], kinds[1], kinds[2], total);
  groupOffsets[variant][key] = offsets;
}

// Every group that exists: with pawns p, pp, ppp and the kinds P..Q; pawnless
// N..Q. Kinds are listed highest first.
void buildAllGroups() {
  for (int variant = 0; variant < 2; variant++) {
    const int low = variant ? kindPawn : kindKnight;
    for (int t1 = low; t1 <= kindQueen; t1++) {
      int one[1] = {t1};
      buildGroup(variant, 1, one);
      for (int t2 = low; t2 <= t1; t2++) {
        int two[2] = {t1, t2};
        buildGroup(variant, 2, two);
        for (int t3 = low; t3 <= t2; t3++) {
          int three[3] = {t1, t2, t3};
          buildGroup(variant, 3, three);
        }
      }
    }
  }
  for (int n = 1; n <= 3; n++) {
    int pawns[3] = {kindOppPawn, kindOppPawn, kindOppPawn};
    buildGroup(1, n, pawns);
  }
  for (int kind = 0; kind < TB_KINDS; kind++) {
    kkOffsetPawns[kind] = groupOffsets[1][tbGroupKey(1, &kind)];
    kkOffsetPawnless[kind] = groupOffsets[0][tbGroupKey(1, &kind)];
  }
}

void reportEnumerations() {
  for (int t = 0; t < TB_KINDS; t++)
    printf("%c - %d enumerated positions\n", TB_KIND_LETTERS[t], groupTotals[1][tbGroupKey(1, &t)]);
  for (int t = 0; t < TB_KINDS; t++) {
    const int32_t total = groupTotals[0][tbGroupKey(1, &t)];
    if (total != 0) printf("pawnless %c - %d enumerated positions\n", TB_KIND_LETTERS[t], total);
  }
  for (int t1 = 0; t1 < TB_KINDS; t1++) {
    for (int t2 = 0; t2 <= t1; t2++) {
      const int kinds[2] = {t1, t2};
      const int key = tbGroupKey(2, kinds);
      if (groupTotals[1][key] != 0)
        printf("%c%c - %d enumerated positions\n", TB_KIND_LETTERS[t1], TB_KIND_LETTERS[t2], groupTotals[1][key]);
      if (groupTotals[0][key] != 0)
        printf("pawnless %c%c - %d enumerated positions\n", TB_KIND_LETTERS[t1], TB_KIND_LETTERS[t2],
               groupTotals[0][key]);
    }
  }
  for (int t1 = 0; t1 < TB_KINDS; t1++) {
    for (int t2 = 0; t2 <= t1; t2++) {
      for (int t3 = 0; t3 <= t2; t3++) {
        const int kinds[3] = {t1, t2, t3};
        const int key = tbGroupKey(3, kinds);
        if (groupTotals[1][key] != 0)
          printf("%c%c%c - %d enumerated positions\n", TB_KIND_LETTERS[t1], TB_KIND_LETTERS[t2],
                 TB_KIND_LETTERS[t3], groupTotals[1][key]);
        if (groupTotals[0][key] != 0)
          printf("pawnless %c%c%c - %d enumerated positions\n", TB_KIND_LETTERS[t1], TB_KIND_LETTERS[t2],
                 TB_KIND_LETTERS[t3], groupTotals[0][key]);
      }
    }
  }
  printf("\nAllocated %dk\n\n", static_cast<int>((tbAllocatedBytes + 1023) / 1024));
  fflush(stdout);
}

}  // namespace

int tbGroupKey(int count, const int* kindsHighestFirst) {
  assert(count >= 1 && count <= 3);
  int key = 0;
  for (int i = 0; i < 3; i++) {
    assert(i >= count || (kindsHighestFirst[i] >= 0 && kindsHighestFirst[i] < TB_KINDS));
    key = key * 7 + (i < count ? kindsHighestFirst[i] + 1 : 0);
  }
  return key;
}

void initPieceRanks(int kind, int8_t* ranks, uint8_t* counts) {
  assert(kind >= 0 && kind < TB_KINDS && ranks != nullptr && counts != nullptr);
  memset(ranks, -1, TB_SQUARES * TB_SQUARES);
  const bool pawn = kind == kindOppPawn || kind == kindPawn;
  for (int k = 0; k < TB_SQUARES; k++) {
    int next = 0;
    for (int s = pawn ? 8 : 0; s < (pawn ? 56 : 64); s++) {
      if (s == k || contactAttack(kind, s, k)) continue;
      ranks[k * TB_SQUARES + s] = static_cast<int8_t>(next++);
    }
    counts[k] = static_cast<uint8_t>(next);
  }
}

void sumOneGroup(int32_t* offsets, const int16_t (&pairs)[64][64], int kind, int32_t* total) {
  assert(offsets != nullptr && total != nullptr);
  const int kinds[1] = {kind};
  sumGroup(offsets, pairs, 1, kinds, total);
}

void sumTwoGroup(int32_t* offsets, const int16_t (&pairs)[64][64], int kind1, int kind2, int32_t* total) {
  assert(offsets != nullptr && total != nullptr && kind1 >= kind2);
  const int kinds[2] = {kind1, kind2};
  sumGroup(offsets, pairs, 2, kinds, total);
}

void sumThreeGroup(int32_t* offsets, const int16_t (&pairs)[64][64], int kind1, int kind2, int kind3,
                   int32_t* total) {
  assert(offsets != nullptr && total != nullptr && kind1 >= kind2 && kind2 >= kind3);
  const int kinds[3] = {kind1, kind2, kind3};
  sumGroup(offsets, pairs, 3, kinds, total);
}

void initEnumerations() {
  if (enumerationsBuilt) return;
  enumerationsBuilt = true;
  for (int kind = 0; kind < TB_KINDS; kind++) {
    pieceRank[kind] = static_cast<int8_t*>(tbAlloc(TB_SQUARES * TB_SQUARES));
    pieceRankCount[kind] = static_cast<uint8_t*>(tbAlloc(TB_SQUARES));
    initPieceRanks(kind, pieceRank[kind], pieceRankCount[kind]);
  }
  buildAllGroups();
  initIndexPlans();
  if (tbVerbose) reportEnumerations();
}
