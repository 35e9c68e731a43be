#include "tablebases/block_cache.h"

#include <sys/types.h>

#include <cassert>
#include <climits>
#include <cstdlib>

#include "platform/platform.h"
#include "tablebases/block_decoder.h"
#include "tablebases/compressed_file.h"

int32_t tbCacheCount = 0;
CacheBlock* tbCacheMru = nullptr;
CacheBlock* tbCacheLru = nullptr;
CacheBlock* tbCacheFree = nullptr;

namespace {

uint8_t* cacheBuffer = nullptr;

void unlinkUse(CacheBlock* b) {
  if (b->lruPrev) b->lruPrev->lruNext = b->lruNext; else tbCacheMru = b->lruNext;
  if (b->lruNext) b->lruNext->lruPrev = b->lruPrev; else tbCacheLru = b->lruPrev;
}

void pushUse(CacheBlock* b) {
  b->lruPrev = nullptr;
  b->lruNext = tbCacheMru;
  if (tbCacheMru) tbCacheMru->lruPrev = b; else tbCacheLru = b;
  tbCacheMru = b;
}

CacheBlock** bucketHead(const CacheBlock* b) {
  return &tbDescriptors[b->table].cacheBuckets[b->side][b->block & (TB_CACHE_BUCKETS - 1)];
}

void unlinkBucket(CacheBlock* b) {
  if (b->bucketPrev) b->bucketPrev->bucketNext = b->bucketNext; else *bucketHead(b) = b->bucketNext;
  if (b->bucketNext) b->bucketNext->bucketPrev = b->bucketPrev;
}

void pushBucket(CacheBlock* b) {
  CacheBlock** head = bucketHead(b);
  b->bucketPrev = nullptr;
  b->bucketNext = *head;
  if (*head) (*head)->bucketPrev = b;
  *head = b;
}

int32_t byteAt(const CacheBlock* b, int32_t offset) {
  return offset < b->validBytes ? static_cast<int32_t>(static_cast<int8_t>(b->data[offset]))
                                : TB_VALUE_UNKNOWN;
}

// The extent no longer counts as registered; its open file stays until the
// next closeTablebaseFiles.
void dropExtent(TbDescriptor& d, int side, int extent) {
  std::free(d.fileName[side][extent]);
  d.fileName[side][extent] = nullptr;
}

// Number of cache blocks the side's entries fill (0 when the length is unknown).
int64_t sideBlocks(const TbDescriptor& d, int side) {
  const int64_t bytes = d.length[side] * ((d.flags & tbFlag16Bit) ? 2 : 1);
  return (bytes + TB_CACHE_BLOCK_BYTES - 1) >> TB_CACHE_BLOCK_SHIFT;
}

FILE* openExtent(TbDescriptor& d, int side, int extent) {
  FILE* f = d.file[side][extent];
  if (f) return f;
  // A path that no longer names a regular file fails like a missing one.
  f = platformOpenRegularFile(d.fileName[side][extent]);
  if (!f) {
    closeTablebaseFiles();  // release handles, then try once more
    f = platformOpenRegularFile(d.fileName[side][extent]);
  }
  d.file[side][extent] = f;
  return f;
}

// Fills the block's data from the extent file; false on any failure.
bool readBlock(CacheBlock* b, FILE* f, const CompressedFile* cf, int64_t local) {
  if (cf) {
    if (!decodeBlockShared) return false;
    initDecodeBlock(decodeBlockShared, b->data);
    if (readCompressedBlock(decodeBlockShared, cf, f, local) != 0) return false;
    if (decodeBlock(decodeBlockShared, cf, decodeBlockShared->decodedSize) != 0) return false;
    b->validBytes = decodeBlockShared->decodedSize;
    return true;
  }
  if (fseeko(f, static_cast<off_t>(local * TB_CACHE_BLOCK_BYTES), SEEK_SET) != 0) return false;
  std::clearerr(f);
  const size_t got = std::fread(b->data, 1, TB_CACHE_BLOCK_BYTES, f);
  if (got == 0 || std::ferror(f)) return false;
  b->validBytes = static_cast<int32_t>(got);
  return true;
}

// A block to fill: the first free one, else the least recently used one.
CacheBlock* takeBlock() {
  CacheBlock* b = tbCacheFree;
  if (b) {
    tbCacheFree = b->lruNext;
    return b;
  }
  b = tbCacheLru;
  unlinkUse(b);
  unlinkBucket(b);
  return b;
}

}  // namespace

void closeTablebaseFiles() {
  for (int id = 1; id <= TB_MAX_ID; ++id)
    for (int side = 0; side < 2; ++side)
      for (int e = 0; e < TB_MAX_EXTENTS; ++e) {
        FILE*& f = tbDescriptors[id].file[side][e];
        if (f) std::fclose(f);
        f = nullptr;
      }
}

void initTablebaseCache() {
  closeTablebaseFiles();
  tbCacheMru = tbCacheLru = tbCacheFree = nullptr;
  for (int id = 1; id <= TB_MAX_ID; ++id)
    for (int side = 0; side < 2; ++side) {
      CacheBlock** buckets = tbDescriptors[id].cacheBuckets[side];
      if (!buckets) continue;
      for (int i = 0; i < TB_CACHE_BUCKETS; ++i) buckets[i] = nullptr;
    }
  if (tbCacheCount == 0) return;
  CacheBlock* headers = reinterpret_cast<CacheBlock*>(cacheBuffer);
  uint8_t* areas = cacheBuffer + sizeof(CacheBlock) * static_cast<size_t>(tbCacheCount);
  for (int32_t i = tbCacheCount - 1; i >= 0; --i) {
    CacheBlock* b = &headers[i];
    b->table = b->side = b->block = b->validBytes = 0;
    b->lruPrev = b->bucketNext = b->bucketPrev = nullptr;
    b->data = areas + static_cast<size_t>(i) * TB_CACHE_DATA_BYTES;
    b->lruNext = tbCacheFree;
    tbCacheFree = b;
  }
}

int setTablebaseCache(void* buffer, uint64_t bytes) {
  assert(reinterpret_cast<uintptr_t>(buffer) % alignof(CacheBlock) == 0);
  uint64_t count = buffer ? bytes / TB_CACHE_UNIT_BYTES : 0;
  if (count > INT32_MAX) count = INT32_MAX;
  tbCacheCount = static_cast<int32_t>(count);
  cacheBuffer = count ? static_cast<uint8_t*>(buffer) : nullptr;
  initTablebaseCache();
  return count ? 1 : 0;
}

int32_t readCachedValue(int32_t id, int32_t side, int64_t block, int32_t offset) {
  assert(id >= 1 && id <= TB_MAX_ID);
  assert(side == 0 || side == 1);
  assert(offset >= 0 && offset < TB_CACHE_BLOCK_BYTES);
  TbDescriptor& d = tbDescriptors[id];
  if (tbCacheCount == 0 || !d.cacheBuckets[side] || block < 0 || block > INT32_MAX)
    return TB_VALUE_UNKNOWN;
  for (CacheBlock* b = d.cacheBuckets[side][block & (TB_CACHE_BUCKETS - 1)]; b; b = b->bucketNext) {
    if (b->block != block) continue;
    if (b != tbCacheMru) {
      unlinkUse(b);
      pushUse(b);
    }
    if (b->bucketPrev) {
      unlinkBucket(b);
      pushBucket(b);
    }
    return byteAt(b, offset);
  }

  // Miss: check the block and open its file before any block is given up.
  const bool split = (d.flags & tbFlagSplit) != 0;
  const int64_t extent = split ? block >> TB_EXTENT_BLOCK_BITS : 0;
  const int64_t local = split ? block & TB_EXTENT_BLOCK_MASK : block;
  if (extent >= tbExtentCount(d, side) || extent >= TB_MAX_EXTENTS) return TB_VALUE_UNKNOWN;
  if (d.length[side] > 0 && block >= sideBlocks(d, side)) return TB_VALUE_UNKNOWN;
  const int e = static_cast<int>(extent);
  const CompressedFile* cf = d.decoder[side][e];
  if (cf && local >= cf->blockCount) return TB_VALUE_UNKNOWN;
  if (!d.fileName[side][e]) return TB_VALUE_UNKNOWN;
  FILE* f = openExtent(d, side, e);
  if (!f) {
    dropExtent(d, side, e);
    return TB_VALUE_UNKNOWN;
  }

  CacheBlock* b = takeBlock();
  b->table = id;
  b->side = side;
  b->block = static_cast<int32_t>(block);
  if (!readBlock(b, f, cf, local)) {
    dropExtent(d, side, e);
    b->lruNext = tbCacheFree;
    tbCacheFree = b;
    return TB_VALUE_UNKNOWN;
  }
  pushUse(b);
  pushBucket(b);
  return byteAt(b, offset);
}
