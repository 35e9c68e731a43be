// The transposition table: 16-byte entries in buckets of four, claimed by
// compare-and-swap on the lock byte; history marks of the game's positions.
#include "engine/search/hash.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/board/game/game.h"
#include "engine/board/tables/bitboard.h"
#include "engine/eval/settings.h"
#include "platform/platform.h"

HashTable hashTable;

static inline uint64_t loadKey(const HashEntry *e) { return __atomic_load_n(&e->key, __ATOMIC_RELAXED); }
static inline void storeKey(HashEntry *e, uint64_t k) { __atomic_store_n(&e->key, k, __ATOMIC_RELEASE); }
static inline uint32_t loadWord(HashEntry *e) { return entryLockWord(e)->load(std::memory_order_acquire); }
// Depth, generation and move are read by threads that do not hold the entry.
static inline uint8_t loadDepth(const HashEntry *e) { return __atomic_load_n(&e->depth, __ATOMIC_RELAXED); }
static inline void storeDepth(HashEntry *e, uint8_t d) { __atomic_store_n(&e->depth, d, __ATOMIC_RELAXED); }
static inline uint8_t loadGeneration(const HashEntry *e) { return __atomic_load_n(&e->generation, __ATOMIC_RELAXED); }
static inline void storeMove(HashEntry *e, Move m) { __atomic_store_n(&e->move, m, __ATOMIC_RELAXED); }

// The entry's page will be written (the claim below, the store after the search).
static inline void markWritten(HashTable *t, const HashEntry *e) {
  if (!t->writtenPages) return;
  uint8_t *mark = t->writtenPages + (uint64_t)(e - t->entries) / HASH_PAGE_ENTRIES;
  if (!__atomic_load_n(mark, __ATOMIC_RELAXED)) __atomic_store_n(mark, 1, __ATOMIC_RELAXED);
}

uint64_t allocHashTable(HashTable *t, uint64_t bytes) {
  freeHash(t);
  if (bytes < MIN_HASH_BYTES) bytes = MIN_HASH_BYTES;
  // With overcommit an allocation always "succeeds": cap by physical memory instead.
  uint64_t phys = platformPhysicalMemory();
  if (phys && bytes > phys / 4 * 3) bytes = phys / 4 * 3;
  for (;;) {
    uint64_t count = bytes / sizeof(HashEntry);
    void *p = nullptr;
    // a large table on huge-page boundaries: its random probes miss the TLB far less
    bool huge = count * sizeof(HashEntry) >= PLATFORM_HUGE_PAGE_BYTES;
    if (posix_memalign(&p, huge ? PLATFORM_HUGE_PAGE_BYTES : 64, count * sizeof(HashEntry)) == 0 && p) {
      if (huge) platformAdviseHugePages(p, count * sizeof(HashEntry));
      t->entries = (HashEntry *)p;
      t->hashEntryCount = count;
      t->bucketDivider = makeDivider(count - 3);
      t->allocatedBytes = count * sizeof(HashEntry);
      break;
    }
    if (bytes <= (4u << 20)) {
      t->generation = 0;
      return 0;
    }
    bytes = bytes / 4 * 3;
  }
  t->pageCount = (t->hashEntryCount + HASH_PAGE_ENTRIES - 1) / HASH_PAGE_ENTRIES;
  t->writtenPages = (uint8_t *)malloc(t->pageCount);
  if (t->writtenPages) memset(t->writtenPages, 1, t->pageCount);  // the fresh block is cleared whole
  t->generation = 0;
  clearHash(t);
  platformLockMemory(t->entries, t->allocatedBytes);
  return t->hashEntryCount * sizeof(HashEntry);
}

void freeHash(HashTable *t) {
  if (t->entries) {
    platformUnlockMemory(t->entries, t->allocatedBytes);
    free(t->entries);
  }
  free(t->writtenPages);
  t->writtenPages = nullptr;
  t->pageCount = 0;
  t->entries = nullptr;
  t->hashEntryCount = 0;
  t->hashFullCount = 0;
  t->allocatedBytes = 0;
}

void clearHash(HashTable *t) {
  if (t->entries && !t->writtenPages) memset(t->entries, 0, t->allocatedBytes);
  if (t->entries && t->writtenPages) {
    for (uint64_t p = 0; p < t->pageCount; p++) {
      if (!__atomic_load_n(&t->writtenPages[p], __ATOMIC_RELAXED)) continue;
      uint64_t first = p * HASH_PAGE_ENTRIES;
      uint64_t n = std::min(HASH_PAGE_ENTRIES, t->hashEntryCount - first);
      memset(t->entries + first, 0, n * sizeof(HashEntry));
      __atomic_store_n(&t->writtenPages[p], 0, __ATOMIC_RELAXED);
    }
  }
  t->hashFullCount = 0;
}

HashEntry *probeHash(HashTable *t, uint64_t key) {
  if (!t->entries) return nullptr;
  HashEntry *e = hashBucket(t, key);
  for (int i = 0; i < 4; i++)
    if (loadKey(e + i) == key) return e + i;
  return nullptr;
}

HashEntry *lockHashEntry(HashTable *t, uint64_t key, int newDepthByte, int owner, uint32_t *flagsWord) {
  if (!t->entries) return nullptr;
  HashEntry *bucket = hashBucket(t, key);
  for (;;) {
    HashEntry *choice = nullptr, *fallback = nullptr;
    int best = -newDepthByte;
    for (int i = 0; i < 4; i++) {
      HashEntry *e = bucket + i;
      uint32_t w = loadWord(e);
      if ((loadDepth(e) == 0 && (w & ENTRY_LOCK) == 0) || loadKey(e) == key) {
        choice = e;
        break;
      }
      int age = (t->generation - loadGeneration(e)) & 15;
      int value = age * 256 - loadDepth(e);
      if ((w & ENTRY_LOCK) == 0 && value > best) {
        best = value;
        fallback = e;
      }
    }
    HashEntry *e = choice ? choice : fallback;
    if (!e) return nullptr;
    markWritten(t, e);
    uint32_t w = loadWord(e);
    uint32_t lock = w & ENTRY_LOCK;
    if (lock == 0) {
      if (!entryLockWord(e)->compare_exchange_strong(w, w | (uint32_t)owner, std::memory_order_acq_rel))
        continue;
    } else if (lock != (uint32_t)owner) {
      if (loadKey(e) == key) {
        if (flagsWord) *flagsWord = w;
        return e;  // held by another thread: returned unclaimed
      }
      continue;
    }
    if (flagsWord) *flagsWord = w;
    if (loadDepth(e) == 0 || loadGeneration(e) != t->generation) __atomic_fetch_add(&t->hashFullCount, 1, __ATOMIC_RELAXED);  // an estimate
    __atomic_store_n(&e->generation, t->generation, __ATOMIC_RELAXED);
    if (loadKey(e) != key) {
      // clear the old contents before the new key is visible to unlocked readers
      storeDepth(e, 0);
      storeMove(e, NO_MOVE);
      storeKey(e, key);
    }
    return e;
  }
}

void newSearchGeneration(HashTable *t, int flag) {
  if (flag) {
    t->generation = (t->generation + 1) & 15;
    if (activeSettings.clearHashOnSearch) clearHash(t);
    t->hashFullCount = 0;
  }
  if (!t->entries) return;
  for (int i = gameRecord.historyKeyCount - 1; i >= 0; i--) {
    uint32_t found = 0;
    HashEntry *e = lockHashEntry(t, gameRecord.historyKeys[i], HISTORY_MARK_DEPTH, HISTORY_MARK_OWNER, &found);
    if (!e) continue;
    uint32_t marks;
    if (!(found & ENTRY_ON_PATH)) marks = ENTRY_ON_PATH | HISTORY_MARK_OWNER;
    else if (found & ENTRY_SEEN_TWICE) marks = ENTRY_ON_PATH | ENTRY_SEEN_TWICE | ENTRY_SEEN_THRICE | HISTORY_MARK_OWNER;
    else marks = ENTRY_ON_PATH | ENTRY_SEEN_TWICE | HISTORY_MARK_OWNER;
    storeDepth(e, 255);
    entryLockWord(e)->store(marks, std::memory_order_release);  // score 0, lock byte 1 stays
  }
}

void unmarkHistoryInHash(HashTable *t) {
  if (!t->entries) return;
  for (int i = gameRecord.historyKeyCount - 1; i >= 0; i--) {
    uint64_t key = gameRecord.historyKeys[i];
    HashEntry *e = hashBucket(t, key);
    for (int j = 0; j < 4; j++) {
      if (loadKey(e + j) != key) continue;
      if (loadDepth(e + j) == 255) {
        storeKey(e + j, 0);
        storeDepth(e + j, 0);
        storeMove(e + j, NO_MOVE);
        entryLockWord(e + j)->store(0, std::memory_order_release);
      }
      break;
    }
  }
}

int hashFull(const HashTable *t) {
  if (!t->entries || t->hashEntryCount == 0) return 0;
  uint64_t permille = __atomic_load_n(&t->hashFullCount, __ATOMIC_RELAXED) * 1000 / t->hashEntryCount;
  return permille > 1000 ? 1000 : (int)permille;
}

uint64_t initEngineTables(uint64_t hashBytes) {
  initEngineCore();
  return allocHashTable(&hashTable, hashBytes);
}
