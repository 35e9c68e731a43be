// Zobrist keys, the transposition table, history marks and the history table.
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

struct HistoryTable {
  int32_t counts[13][120];
  int32_t halved;
};

constexpr uint64_t MIN_HASH_BYTES = 1u << 16;  // smallest table ever allocated

extern HashTable hashTable;
extern HistoryTable historyTable;
extern uint64_t keySlabs[7][128];
extern uint64_t sideKey;

inline uint64_t pieceKey(const PieceKind *kind, int sq) { return kind->zobrist[sq]; }
// The flags-and-score word of an entry, for compare-and-swap on the lock byte.
inline std::atomic<uint32_t> *entryLockWord(HashEntry *e) {
  return reinterpret_cast<std::atomic<uint32_t> *>(&e->flags);
}

void initKeys();
uint64_t random64();
// Keys, attack tables and the game board (no table): safe to run more than once.
void initEngineCore();
uint64_t initEngineTables(uint64_t hashBytes);
uint64_t allocHashTable(HashTable *table, uint64_t bytes);
void freeHash(HashTable *table);
void clearHash(HashTable *table);
HashEntry *probeHash(HashTable *table, uint64_t key);
HashEntry *lockHashEntry(HashTable *table, uint64_t key, int newDepthByte, int owner, uint32_t *flagsWord);
void newSearchGeneration(HashTable *table, int flag);
void unmarkHistoryInHash(HashTable *table);
int hashFull(const HashTable *table);
void updateHashKey(Position *child);
// Key of a Position computed from scratch (tests and consistency checks).
uint64_t computeKey(const Position *pos);
void clearHistoryTable(HistoryTable *h);
// History counters are shared by all search threads; lost updates are
// harmless, so they are relaxed atomic words.
inline int32_t historyCount(int code, int sq) {
  return __atomic_load_n(&historyTable.counts[code][sq], __ATOMIC_RELAXED);
}
inline int32_t historyAdd(int code, int sq, int32_t delta) {
  return __atomic_add_fetch(&historyTable.counts[code][sq], delta, __ATOMIC_RELAXED);
}
