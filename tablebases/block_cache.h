// The tablebase block cache: one pool of 8192-byte blocks in a buffer the
// caller provides, shared by every table side, with exact least-recently-used
// replacement. Files are opened on first use and kept open.
//
// Buffer layout: tbCacheCount headers (CacheBlock) first, then as many data
// areas of TB_CACHE_DATA_BYTES, area i belonging to header i. A block holding
// data is in the use list (tbCacheMru .. tbCacheLru) and in one of the 32
// bucket chains of its table side (chain block & 31); a free block is only in
// tbCacheFree, linked through lruNext.
//
// Block b of a side holds its bytes b * 8192 .. b * 8192 + 8191: entries
// b * 8192 + k of an 8-bit table, b * 4096 + k of a 16-bit table (two bytes
// each, low byte first). A split side's block b lies in extent b >> 18 at
// block b & 0x3FFFF of that extent's file; an unsplit side's in extent 0.
#pragma once

#include <cstdint>

#include "tablebases/descriptor.h"

constexpr int32_t TB_CACHE_BLOCK_BYTES = 8192;
constexpr int TB_CACHE_BLOCK_SHIFT = 13;
constexpr int32_t TB_CACHE_DATA_BYTES = 8228;  // the block and room for 4-byte stores past it
constexpr int TB_CACHE_BUCKETS = 32;
constexpr int TB_EXTENT_BLOCK_BITS = 18;       // 2^18 blocks of 8192 bytes per extent file
constexpr int32_t TB_EXTENT_BLOCK_MASK = (1 << TB_EXTENT_BLOCK_BITS) - 1;
constexpr int32_t TB_VALUE_UNKNOWN = 0x7FFF;

struct CacheBlock {
  int32_t table;       // table id of the block held
  int32_t side;        // 0 or 1 (0 for a symmetric table)
  int32_t block;       // block number over the whole side
  int32_t validBytes;  // bytes of the block that were read (a file's last block may be short)
  CacheBlock* lruNext;     // towards the least recently used end; also the free list's link
  CacheBlock* lruPrev;     // towards the most recently used end
  CacheBlock* bucketNext;
  CacheBlock* bucketPrev;  // null for the first of its bucket
  uint8_t* data;           // TB_CACHE_DATA_BYTES bytes
};

constexpr int32_t TB_CACHE_UNIT_BYTES = static_cast<int32_t>(sizeof(CacheBlock)) + TB_CACHE_DATA_BYTES;
static_assert(TB_CACHE_UNIT_BYTES == 8284, "a cache block takes 8284 bytes of the buffer");

extern int32_t tbCacheCount;  // 0: no cache, every read answers unknown
extern CacheBlock* tbCacheMru;
extern CacheBlock* tbCacheLru;
extern CacheBlock* tbCacheFree;

// Closes every extent file and makes the buffer the cache: bytes / 8284
// blocks. A null buffer or a size too small for one block means no cache and
// returns 0; otherwise returns 1. The buffer stays the caller's.
int setTablebaseCache(void* buffer, uint64_t bytes);

// Closes every extent file, empties the use list and every side's buckets and
// puts all blocks (if any) on the free list in buffer order.
void initTablebaseCache();

// The signed byte at offset (0..8191) of block `block` of a table side, or
// TB_VALUE_UNKNOWN. A block that cannot be read drops its extent from the
// registry (its fileName is freed); a block outside the side, or a byte past
// what the file held, answers unknown without dropping anything.
int32_t readCachedValue(int32_t id, int32_t side, int64_t block, int32_t offset);

// Closes every open extent file of every table.
void closeTablebaseFiles();
