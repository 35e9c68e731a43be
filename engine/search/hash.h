// The transposition table: 16-byte entries in buckets of four, claimed by
// compare-and-swap on the lock byte, and the history marks of the game's
// positions entered before a search.
#pragma once
#include <atomic>
#include <cstdint>

#include "engine/board/position.h"

struct HashEntry {
  uint64_t key;
  uint16_t flags;  // low byte lock owner (0 free); high byte search flags / history marks
  int16_t score;
  Move move;
  uint8_t depth;       // depth * 2 + flag bit; 0 empty, 255 history mark
  uint8_t generation;  // 0..15
};
static_assert(sizeof(HashEntry) == 16, "hash entries are 16 bytes");

struct HashTable {
  HashEntry *entries;
  uint8_t generation;
  uint64_t hashEntryCount;
  uint64_t hashFullCount;
  uint64_t allocatedBytes;
};


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
HashEntry *lockHashEntry(HashTable *table, uint64_t key, int newDepthByte, int owner, uint32_t *flagsWord);
void newSearchGeneration(HashTable *table, int flag);
void unmarkHistoryInHash(HashTable *table);
int hashFull(const HashTable *table);
