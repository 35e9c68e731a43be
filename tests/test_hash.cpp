// Zobrist keys and the transposition table: the fixed key sequence, table
// sizing, bucket choice and replacement, history marks, and entry claims
// under contention.
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "engine/board/keys.h"
#include "engine/board/tables/bitboard.h"
#include "engine/board/tables/piece_types.h"
#include "engine/search/hash.h"
#include "platform/platform.h"

namespace {

struct HashTest : ::testing::Test {
  static void SetUpTestSuite() { initEngineCore(); }
  void TearDown() override { freeHash(&hashTable); }
};

TEST_F(HashTest, KeysFollowTheFixedSequence) {
  // draw the sequence independently: five 15-bit draws per key, from seed 0
  Rand15 r{0};
  auto draw = [&r]() {
    uint64_t x = 0;
    for (int i = 0; i < 5; i++) x = (x << 15) | (uint64_t)r.next();
    return x;
  };
  uint64_t first = draw();
  EXPECT_EQ(PieceType[BLACK_KING].zobrist[0x00], first);  // black king on a1 comes first
  EXPECT_EQ(PieceType[BLACK_KING].zobrist[0x01], draw());
  for (int i = 2; i < 64 * 7; i++) draw();
  EXPECT_EQ(PieceType[WHITE_PAWN].zobrist[0x00], draw());  // code 7 starts after 7 * 64 keys
  for (int i = 64 * 7 + 1; i < 832; i++) draw();
  EXPECT_EQ(sideKey, draw());  // the 833rd key
  uint64_t before = PieceType[WHITE_QUEEN].zobrist[0x35];
  initKeys();
  EXPECT_EQ(PieceType[WHITE_QUEEN].zobrist[0x35], before);
}

TEST_F(HashTest, WhiteTablesShareTheBlackSlabs) {
  // codes 7..12 live in the file-8..15 half of slabs 0..5
  EXPECT_EQ(&PieceType[WHITE_PAWN].zobrist[0], &keySlabs[0][8]);
  EXPECT_EQ(&PieceType[WHITE_KING].zobrist[0x77], &keySlabs[5][0x7F]);
  EXPECT_EQ(&PieceType[EMPTY_CODE].zobrist[0], &keySlabs[6][0]);
}

TEST_F(HashTest, StartPositionKeyIsStable) {
  ASSERT_EQ(parseFen(nullptr), 0);
  ASSERT_EQ(setupPosition(&rootPosition, &gameRecord), 0);
  // regression value: the opening book's keys depend on it
  EXPECT_EQ(rootPosition.key, computeKey(&rootPosition));
  uint64_t k = 0;
  const char *ranks[] = {"RNBQKBNR", "PPPPPPPP", "", "", "", "", "pppppppp", "rnbqkbnr"};
  auto code = [](char c) {
    const char *letters = "kqrbnpEPNBRQK";
    for (int i = 0; i < 13; i++)
      if (letters[i] == c) return i;
    return -1;
  };
  for (int rank = 0; rank < 8; rank++)
    for (int file = 0; ranks[rank][file]; file++) k ^= PieceType[code(ranks[rank][file])].zobrist[rank * 16 + file];
  EXPECT_EQ(rootPosition.key, k);
}

TEST_F(HashTest, TableSizing) {
  EXPECT_EQ(allocHashTable(&hashTable, 1 << 20), 1u << 20);
  EXPECT_EQ(hashTable.hashEntryCount, 65536u);
  // buckets start at key mod (count - 3)
  HashEntry *e = lockHashEntry(&hashTable, 65533ull * 7 + 5, 10, 1, nullptr);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e - hashTable.entries, 5);
  // tiny and zero requests still get the minimum table, never a count of 3 or less
  EXPECT_EQ(allocHashTable(&hashTable, 0), MIN_HASH_BYTES);
  EXPECT_GT(hashTable.hashEntryCount, 3u);
  EXPECT_EQ(allocHashTable(&hashTable, 17), MIN_HASH_BYTES);
}

TEST_F(HashTest, AbsentTableIsSafe) {
  freeHash(&hashTable);
  EXPECT_EQ(hashFull(&hashTable), 0);
  EXPECT_EQ(probeHash(&hashTable, 12345), nullptr);
  EXPECT_EQ(lockHashEntry(&hashTable, 12345, 4, 1, nullptr), nullptr);
  clearHash(&hashTable);
  newSearchGeneration(&hashTable, 1);
  unmarkHistoryInHash(&hashTable);
}

// A clear skips the pages nothing claimed since the last clear: every entry
// written through a claim, in any page (the last one partial), must be zero
// again afterwards, round after round.
TEST_F(HashTest, ClearLeavesEveryClaimedEntryEmpty) {
  allocHashTable(&hashTable, MIN_HASH_BYTES + 100 * sizeof(HashEntry));
  const uint64_t count = hashTable.hashEntryCount;
  ASSERT_NE(count % HASH_PAGE_ENTRIES, 0u);  // the last page is partial
  auto allZero = [&] {
    const unsigned char *p = reinterpret_cast<const unsigned char *>(hashTable.entries);
    for (uint64_t i = 0; i < count * sizeof(HashEntry); i++)
      if (p[i]) return false;
    return true;
  };
  ASSERT_TRUE(allZero());
  for (int round = 0; round < 3; round++) {
    std::vector<uint64_t> keys;
    for (uint64_t k = round; k < count; k += 97 + round) keys.push_back(k + 1);  // bucket k + 1 mod (count - 3)
    keys.push_back(count - 4);                                                    // the table's last bucket
    for (uint64_t key : keys) {
      HashEntry *e = lockHashEntry(&hashTable, key, 8, 2, nullptr);
      ASSERT_NE(e, nullptr);
      e->depth = 8;
      e->move = 0x1234;
      e->score = 77;
      e->flags = ENTRY_LOWER_BOUND;
    }
    EXPECT_FALSE(allZero());
    for (uint64_t key : keys) EXPECT_NE(probeHash(&hashTable, key), nullptr);
    clearHash(&hashTable);
    EXPECT_TRUE(allZero()) << "round " << round;
    EXPECT_EQ(hashFull(&hashTable), 0);
    for (uint64_t key : keys) EXPECT_EQ(probeHash(&hashTable, key), nullptr);
  }
}

// The bucket index is the key's remainder by count - 3, computed without a
// divide: it must equal the % operator for any key and any table size.
TEST_F(HashTest, DividerMatchesTheRemainderOperator) {
  std::vector<uint64_t> divisors = {2, 3, 7, 4093, 65533, 1000003, (1ULL << 22) - 3, (1ULL << 32) - 1,
                                    (1ULL << 32) + 1, (1ULL << 40) + 12345, (1ULL << 62) + 1, (1ULL << 63) - 25,
                                    1ULL << 63};
  for (int k = 1; k < 63; k++) divisors.push_back(1ULL << k), divisors.push_back((1ULL << k) + 1);
  uint64_t x = 0x9E3779B97F4A7C15ull;
  for (uint64_t d : divisors) {
    Divider dv = makeDivider(d);
    std::vector<uint64_t> keys = {0, 1, d - 1, d, d + 1, 2 * d - 1, ~0ULL, ~0ULL - 1, ~0ULL - d, 1ULL << 63};
    for (int i = 0; i < 2000; i++) {
      x ^= x << 13, x ^= x >> 7, x ^= x << 17;  // xorshift
      keys.push_back(x);
      keys.push_back(x >> (i % 64));
    }
    for (uint64_t n : keys) ASSERT_EQ(remainderOf(n, dv), n % d) << "n " << n << " d " << d;
  }
}

TEST_F(HashTest, StoreProbeAndClaimRules) {
  allocHashTable(&hashTable, 1 << 20);
  uint64_t key = 0x123456789ull;
  uint32_t found = 0;
  HashEntry *e = lockHashEntry(&hashTable, key, 20, 3, &found);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->key, key);
  EXPECT_EQ(e->move, NO_MOVE);
  EXPECT_EQ(e->flags & 0xFF, 3);
  EXPECT_EQ(hashFull(&hashTable), 1000 * 1 / 65536);
  EXPECT_EQ(hashTable.hashFullCount, 1u);
  e->depth = 20;
  e->move = 0x1C0C;
  e->score = -42;
  e->flags = 0x8000;  // release the lock, keep a bound flag
  EXPECT_EQ(probeHash(&hashTable, key), e);
  EXPECT_EQ(probeHash(&hashTable, key + 1), nullptr);
  // the same key again: same entry, content kept
  EXPECT_EQ(lockHashEntry(&hashTable, key, 4, 5, &found), e);
  EXPECT_EQ(found & 0xFF, 0u);
  EXPECT_EQ(e->move, 0x1C0C);
  // held by owner 5: another owner gets it back unclaimed, showing the foreign lock
  EXPECT_EQ(lockHashEntry(&hashTable, key, 4, 6, &found), e);
  EXPECT_EQ(found & 0xFF, 5u);
  EXPECT_EQ(e->flags & 0xFF, 5);
}

TEST_F(HashTest, ReplacementPrefersOldGenerations) {
  allocHashTable(&hashTable, 1 << 20);
  uint64_t m = hashTable.hashEntryCount - 3;
  auto fill = [&](uint64_t key, int depthByte) {
    HashEntry *e = lockHashEntry(&hashTable, key, depthByte, 1, nullptr);
    EXPECT_NE(e, nullptr);
    e->depth = (uint8_t)depthByte;
    e->flags = 0;
    return e;
  };
  // four entries of one bucket, in the current generation
  HashEntry *a = fill(1 * m + 9, 40);
  HashEntry *b = fill(2 * m + 9, 10);
  HashEntry *c = fill(3 * m + 9, 30);
  HashEntry *d = fill(4 * m + 9, 20);
  EXPECT_EQ(b, a + 1);
  EXPECT_EQ(d, a + 3);
  // within the generation only a smaller depth byte can be replaced: the shallowest goes
  EXPECT_EQ(lockHashEntry(&hashTable, 5 * m + 9, 12, 1, nullptr), b);
  b->depth = 12;
  b->flags = 0;
  EXPECT_EQ(lockHashEntry(&hashTable, 6 * m + 9, 12, 1, nullptr), nullptr);
  // an entry of an older generation goes before deeper current ones
  newSearchGeneration(&hashTable, 1);
  c->generation = hashTable.generation;
  a->generation = hashTable.generation;
  b->generation = hashTable.generation;
  EXPECT_EQ(lockHashEntry(&hashTable, 7 * m + 9, 2, 1, nullptr), d);
}

TEST_F(HashTest, HistoryMarks) {
  allocHashTable(&hashTable, 1 << 20);
  gameRecord.historyKeyCount = 0;
  addHistoryKey(1001, 0);
  addHistoryKey(2002, 1);
  addHistoryKey(1001, 2);  // met twice
  addHistoryKey(3003, 3);
  addHistoryKey(3003, 4);
  addHistoryKey(3003, 5);  // three times
  newSearchGeneration(&hashTable, 1);
  HashEntry *once = probeHash(&hashTable, 2002);
  HashEntry *twice = probeHash(&hashTable, 1001);
  HashEntry *thrice = probeHash(&hashTable, 3003);
  ASSERT_TRUE(once && twice && thrice);
  EXPECT_EQ(once->flags, 0x2001);
  EXPECT_EQ(twice->flags, 0x3001);
  EXPECT_EQ(thrice->flags, 0x3801);
  EXPECT_EQ(thrice->depth, 255);
  EXPECT_EQ(thrice->score, 0);
  unmarkHistoryInHash(&hashTable);
  EXPECT_EQ(probeHash(&hashTable, 2002), nullptr);
  EXPECT_EQ(probeHash(&hashTable, 1001), nullptr);
  EXPECT_EQ(probeHash(&hashTable, 3003), nullptr);
  gameRecord.historyKeyCount = 0;
}

TEST_F(HashTest, HistoryKeysAreBounded) {
  gameRecord.historyKeyCount = 0;
  for (int i = 0; i < MAX_HISTORY_KEYS + 500; i++) addHistoryKey(i, i);
  EXPECT_EQ(gameRecord.historyKeyCount, MAX_HISTORY_KEYS);
  gameRecord.historyKeyCount = 0;
}

TEST_F(HashTest, EightThreadsNeverShareAnEntry) {
  allocHashTable(&hashTable, 1 << 16);  // small table: heavy contention
  std::vector<std::atomic<int>> holders(hashTable.hashEntryCount);
  for (auto &h : holders) h = 0;
  std::atomic<int> violations{0};
  std::vector<std::thread> pool;
  for (int t = 1; t <= 8; t++) {
    pool.emplace_back([&, t]() {
      Rand15 r{(uint32_t)t};
      for (int i = 0; i < 40000; i++) {
        uint64_t key = (uint64_t)(r.next() % 300) * 7919 + 1;
        uint32_t found = 0;
        HashEntry *e = lockHashEntry(&hashTable, key, 2 + (i & 7), t, &found);
        if (!e || (entryLockWord(e)->load() & 0xFF) != (uint32_t)t) continue;  // not ours
        size_t idx = e - hashTable.entries;
        if (holders[idx].exchange(t) != 0) violations++;
        e->depth = 2;
        holders[idx] = 0;
        // release: low byte back to 0
        uint32_t w = entryLockWord(e)->load();
        entryLockWord(e)->store(w & ~0xFFu);
      }
    });
  }
  for (auto &th : pool) th.join();
  EXPECT_EQ(violations.load(), 0);
  for (uint64_t i = 0; i < hashTable.hashEntryCount; i++) EXPECT_EQ(hashTable.entries[i].flags & 0xFF, 0) << i;
}

}  // namespace
