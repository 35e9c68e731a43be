#include "tablebases/registry.h"

#include <sys/resource.h>
#include <sys/types.h>

#include <cassert>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "tablebases/block_cache.h"
#include "tablebases/block_decoder.h"
#include "tablebases/compressed_file.h"
#include "tablebases/descriptor.h"
#include "tablebases/enumerations.h"
#include "tablebases/material_tree.h"
#include "tablebases/tb_alloc.h"
#include "tablebases/tb_error.h"

int32_t tbCompressedFiles = 0;

namespace {

constexpr int REGISTRY_BLOCK_BITS = 13;  // the only block size registration accepts
constexpr int64_t UNCHECKED_PLAIN_LENGTH = int64_t{1} << 31;
constexpr int64_t SPLIT_EXTENT_ENTRIES = int64_t{1} << 31;
constexpr int64_t SPLIT_EXTENT_ENTRIES_16BIT = int64_t{1} << 30;
constexpr int LAST_FIVE_MAN_ID = 145;  // the no-separator name is tried up to here
constexpr char PATH_SEPARATORS[] = ",;";
constexpr char EXTENT_CHARS[] = "0123456789abcdefgh";

enum NameAttempt { PLAIN, DOT_EMD, UNDERSCORE_EMD, UNDERSCORE_UNDERSCORE, NO_SEPARATOR, ATTEMPTS };

bool initialised = false;

[[noreturn]] void fatal() {
  std::fflush(stdout);
  std::exit(1);
}

// A full six-man set is about 2,000 files: allow as many open files as the
// system lets this process have.
void raiseOpenFileLimit() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

// Ids ascend by number of men: 3 men from id 1, 4 from 6, 5 from 36, 6 from 146.
constexpr int FIRST_ID_OF_MEN[] = {146, 36, 6, 1};
constexpr int MOST_MEN = 6;

int menOfId(int bestId) {
  for (int i = 0; i < 4; ++i)
    if (bestId >= FIRST_ID_OF_MEN[i]) return MOST_MEN - i;
  return 0;
}

// Frees every path, compressed-file record and bucket array of the registry.
void clearRegistry() {
  for (int id = 1; id <= TB_MAX_ID; ++id) {
    TbDescriptor& d = tbDescriptors[id];
    for (int side = 0; side < 2; ++side) {
      std::free(d.cacheBuckets[side]);
      d.cacheBuckets[side] = nullptr;
      for (int e = 0; e < TB_MAX_EXTENTS; ++e) {
        std::free(d.fileName[side][e]);
        d.fileName[side][e] = nullptr;
        freeCompressedFile(d.decoder[side][e]);
        d.decoder[side][e] = nullptr;
      }
    }
  }
  freeDecodeBlock(decodeBlockShared);
  decodeBlockShared = nullptr;
}

// The file name of one attempt; empty when the attempt does not apply.
std::string attemptName(const std::string& base, int attempt, int side, int id, bool split) {
  const char* suffix = side ? "nbb" : "nbw";
  switch (attempt) {
    case PLAIN: return base + "." + suffix;
    case DOT_EMD: return base + "." + suffix + ".emd";
    case UNDERSCORE_EMD: return split ? std::string() : base + "_" + suffix + ".emd";
    case UNDERSCORE_UNDERSCORE: return split ? std::string() : base + "_" + suffix + "_emd";
    default: return id <= LAST_FIVE_MAN_ID ? base + suffix + ".emd" : std::string();
  }
}

void checkPlainFile(FILE* f, int id, int side, int extent, const std::string& path) {
  const TbDescriptor& d = tbDescriptors[id];
  if ((d.flags & tbFlag16Bit) || d.length[side] >= UNCHECKED_PLAIN_LENGTH) return;
  if (fseeko(f, 0, SEEK_END) != 0) {
    std::printf("*** Seek in %s failed\n", path.c_str());
    fatal();
  }
  const int64_t size = ftello(f);
  if (size < 0) {
    std::printf("*** Seek in %s failed\n", path.c_str());
    fatal();
  }
  checkTablebaseSize(id, side, extent, size, path.c_str());
}

CompressedFile* openCheckedCompressedFile(FILE* f, int id, int side, int extent,
                                          const std::string& path) {
  ++tbCompressedFiles;
  CompressedFile* cf = nullptr;
  const int32_t error = openCompressedFile(f, &cf);
  if (error != 0) {
    std::printf("*** Unable to read %s - ", path.c_str());
    switch (tbErrorKind(error)) {
      case TB_ERROR_READ: std::printf("read error\n"); break;
      case TB_ERROR_NO_MEMORY: std::printf("out of memory\n"); break;
      case TB_ERROR_BROKEN: std::printf("file broken\n"); break;
      default: std::printf("error %d\n", static_cast<int>(error));
    }
    fatal();
  }
  if (cf->blockBits != REGISTRY_BLOCK_BITS) {
    std::printf("*** %s: Unsupported block size %d\n", path.c_str(), cf->blockSize);
    fatal();
  }
  const int64_t blocks = cf->blockCount;
  const int64_t entries = (tbDescriptors[id].flags & tbFlag16Bit)
                              ? (blocks - 1) * (cf->blockSize / 2) + cf->lastBlockSize / 2
                              : (blocks - 1) * cf->blockSize + cf->lastBlockSize;
  checkTablebaseSize(id, side, extent, entries, path.c_str());
  return cf;
}

char* copyPath(const std::string& path) {
  char* copy = static_cast<char*>(tbAlloc(path.size() + 1));
  std::memcpy(copy, path.c_str(), path.size() + 1);
  return copy;
}

}  // namespace

void checkTablebaseSize(int id, int side, int extent, int64_t entries, const char* path) {
  assert(id >= 1 && id <= TB_MAX_ID && (side == 0 || side == 1));
  assert(extent >= 0 && extent < TB_MAX_EXTENTS && path != nullptr);
  (void)extent;  // every extent of a split side may hold either count
  const TbDescriptor& d = tbDescriptors[id];
  const int64_t length = d.length[side];
  if (length == 0) return;
  int64_t first = length, second = length;
  if (d.flags & tbFlagSplit) {
    first = (d.flags & tbFlag16Bit) ? SPLIT_EXTENT_ENTRIES_16BIT : SPLIT_EXTENT_ENTRIES;
    second = length % first;
  }
  if (entries == first || entries == second) return;
  std::printf("*** %s corrupted %" PRIu64 " %" PRIu64 " %" PRIu64 "\n", path,
              static_cast<uint64_t>(first), static_cast<uint64_t>(second),
              static_cast<uint64_t>(entries));
  fatal();
}

int registerTablebaseFile(const char* dir, int id, int side, int extent) {
  assert(dir != nullptr && id >= 1 && id <= TB_MAX_ID && (side == 0 || side == 1));
  assert(extent >= 0 && extent < TB_MAX_EXTENTS);
  TbDescriptor& d = tbDescriptors[id];
  const int heldSide = (d.flags & tbFlagSymmetric) ? 0 : side;
  if (d.fileName[heldSide][extent]) return 1;

  const bool split = (d.flags & tbFlagSplit) != 0;
  std::string base = dir;
  if (!base.empty() && base.back() != '/') base += '/';
  base += d.name;
  if (split) {
    base += '.';
    base += EXTENT_CHARS[extent];
  }
  std::string path;
  FILE* f = nullptr;
  int attempt = PLAIN;
  for (; attempt < ATTEMPTS && !f; ++attempt) {
    path = attemptName(base, attempt, side, id, split);
    // Anything but a regular file (a directory, a FIFO) counts as missing.
    if (!path.empty()) f = platformOpenRegularFile(path.c_str());
  }
  if (!f) return 0;
  --attempt;

  CompressedFile* cf = nullptr;
  if (attempt == PLAIN)
    checkPlainFile(f, id, side, extent, path);
  else
    cf = openCheckedCompressedFile(f, id, side, extent, path);
  std::fclose(f);  // the cache reopens it when a block is first needed

  if (!registerMaterial(d)) {
    std::printf("*** Unable to register %s\n", path.c_str());
    fatal();
  }
  std::free(d.fileName[side][extent]);
  d.fileName[side][extent] = copyPath(path);
  if (!d.cacheBuckets[side]) {
    d.cacheBuckets[side] =
        static_cast<CacheBlock**>(tbAlloc(sizeof(CacheBlock*) * TB_CACHE_BUCKETS));
    for (int i = 0; i < TB_CACHE_BUCKETS; ++i) d.cacheBuckets[side][i] = nullptr;
  }
  freeCompressedFile(d.decoder[side][extent]);
  d.decoder[side][extent] = cf;
  return 1;
}

int registerTablebase(const char* dir, int id, int side) {
  assert(dir != nullptr && id >= 1 && id <= TB_MAX_ID && (side == 0 || side == 1));
  const int extents = tbExtentCount(tbDescriptors[id], side);
  int found = 0;
  for (int e = 0; e < extents && e < TB_MAX_EXTENTS; ++e) {
    if (!registerTablebaseFile(dir, id, side, e)) break;
    found = 1;
  }
  return found;
}

int initTablebases(const char* paths) {
  if (!initialised) raiseOpenFileLimit();
  // No cache until the caller sets one up again: nothing may point into the
  // bucket arrays freed below. This also closes every extent file.
  setTablebaseCache(nullptr, 0);
  if (!initialised) {
    initEnumerations();
    initMaterialTree();
    initialised = true;
  }
  clearRegistry();
  if (!paths) return 0;

  int bestId = 0;
  const char* entry = paths;
  for (;;) {
    const size_t length = std::strcspn(entry, PATH_SEPARATORS);
    const std::string dir(entry, length);
    for (int id = 1; id <= TB_MAX_ID; ++id) {
      if (registerTablebase(dir.c_str(), id, 0) && id > bestId) bestId = id;
      if (!(tbDescriptors[id].flags & tbFlagSymmetric) && registerTablebase(dir.c_str(), id, 1) &&
          id > bestId)
        bestId = id;
    }
    if (entry[length] == '\0') break;
    entry += length + 1;
  }

  if (tbCompressedFiles != 0) {
    const int32_t error = allocDecodeBlock(TB_DECODE_BLOCK_SIZE, &decodeBlockShared);
    if (error != 0) {
      std::printf("*** Cannot allocate decode block: error code %d\n", static_cast<int>(error));
      fatal();
    }
  }
  return menOfId(bestId);
}
