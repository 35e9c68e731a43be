// The transposition table: 16-byte entries in buckets of four, claimed by
// compare-and-swap on the lock byte, and the history marks of the game's
// positions entered before a search.
#pragma once
#include <cstddef>
#include <atomic>
#include <cstdint>

#include "engine/board/position.h"
#include "engine/search/divider.h"

// The flags word of an entry: the low byte is the lock owner (0 free, 1 the
// game-history marks, else a thread id); the high byte holds these bits.
constexpr uint32_t ENTRY_LOCK = 0xFF;
constexpr uint32_t ENTRY_FLAG_BITS = 0xFF00;
constexpr uint32_t ENTRY_UPPER_BOUND = 0x4000;  // the node failed low: the score is at most this
constexpr uint32_t ENTRY_LOWER_BOUND = 0x8000;  // the node failed high: the score is at least this
constexpr uint32_t ENTRY_BOUNDS = ENTRY_UPPER_BOUND | ENTRY_LOWER_BOUND;  // both: exact
constexpr uint32_t ENTRY_ON_PATH = 0x2000;  // on the holder's current path; with lock 1 a game position
constexpr uint32_t ENTRY_SEEN_TWICE = 0x1000;   // a game position met twice
constexpr uint32_t ENTRY_SEEN_THRICE = 0x0800;  // ... three or more times
constexpr uint32_t HISTORY_MARK_OWNER = 1;      // lock byte of the game-history marks
constexpr int HISTORY_MARK_DEPTH = 255;         // depth byte of a game-history mark

struct HashEntry {
  uint64_t key;
  uint16_t flags;  // ENTRY_* bits and the lock byte
  int16_t score;
  Move move;
  uint8_t depth;       // depth * 2 + flag bit; 0 empty, 255 history mark
  uint8_t generation;  // 0..15
};
static_assert(sizeof(HashEntry) == 16, "hash entries are 16 bytes");

// Pages of the table that a clear must zero: a page is marked (byte 1) when
// one of its entries is claimed, so a clear skips pages nothing has written.
constexpr uint64_t HASH_PAGE_ENTRIES = 16;  // 256 bytes of entries: a search writes a small part of a large table

struct HashTable {
  HashEntry *entries;
  uint8_t generation;
  uint64_t hashEntryCount;
  uint64_t allocatedBytes;
  uint8_t *writtenPages;  // one byte per HASH_PAGE_ENTRIES entries; null: clear it all
  uint64_t pageCount;
  Divider bucketDivider;  // by hashEntryCount - 3: a bucket starts at the key's remainder
  // claimed entries, added to by every thread: last, on a line of its own, so
  // that its writes never evict the words each probe reads (the divider)
  alignas(CACHE_LINE_BYTES) uint64_t hashFullCount;
};
static_assert(offsetof(HashTable, hashFullCount) >= offsetof(HashTable, bucketDivider) + sizeof(Divider) &&
                  sizeof(HashTable) == offsetof(HashTable, hashFullCount) + CACHE_LINE_BYTES,
              "hashFullCount has a cache line to itself");


constexpr uint64_t MIN_HASH_BYTES = 1u << 16;  // smallest table ever allocated

extern HashTable hashTable;

// The flags-and-score word of an entry, for compare-and-swap on the lock byte.
inline std::atomic<uint32_t> *entryLockWord(HashEntry *e) {
  return reinterpret_cast<std::atomic<uint32_t> *>(&e->flags);
}

// The engine core (see initEngineCore) and a table of the given size.
uint64_t initEngineTables(uint64_t hashBytes);
uint64_t allocHashTable(HashTable *table, uint64_t bytes);
void freeHash(HashTable *table);
void clearHash(HashTable *table);
HashEntry *probeHash(HashTable *table, uint64_t key);
// The first of the four entries of a key's bucket.
inline HashEntry *hashBucket(const HashTable *table, uint64_t key) {
  return table->entries + remainderOf(key, table->bucketDivider);
}
// Starts loading the bucket of a key that the search is about to probe.
inline void prefetchHash(const HashTable *table, uint64_t key) {
  if (table->entries) __builtin_prefetch(hashBucket(table, key));
}
HashEntry *lockHashEntry(HashTable *table, uint64_t key, int newDepthByte, int owner, uint32_t *flagsWord);
void newSearchGeneration(HashTable *table, int flag);
void unmarkHistoryInHash(HashTable *table);
int hashFull(const HashTable *table);
