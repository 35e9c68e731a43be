// The tablebase descriptor table: one record per table id (1..440), static
// part compiled in, dynamic part filled by registration, the cache and the
// probe. A table is identified everywhere by its id, its index in the array.
#pragma once

#include <cstdint>
#include <cstdio>

// One side's men as squares 0..63 (a1 = 0): pawns in slots 0-2, knights 3-5,
// bishops 6-8, rooks 9-11, queens 12-14, the king in slot 15.
constexpr int TB_SIDE_SLOTS = 16;
typedef int32_t TbSideSquares[TB_SIDE_SLOTS];

// Entry index of a position: the table's first side's squares, its second
// side's squares, the e.p. target square (127 = none) and the invert flag (1
// when the real Black holds the table's first side).
typedef uint64_t (*TbIndexFn)(const int32_t* first, const int32_t* second, int32_t epSquare,
                              int32_t invert);

constexpr int TB_MAX_ID = 440;
constexpr int TB_TABLE_COUNT = TB_MAX_ID + 1;  // record 0 is a placeholder
constexpr int TB_MAX_EXTENTS = 18;             // extent characters "0".."9", "a".."h"

// Storage flags (only the low three bits are defined).
constexpr int32_t tbFlagSymmetric = 1;  // only side 0 is stored
constexpr int32_t tbFlag16Bit = 2;      // two bytes per entry, low byte first
constexpr int32_t tbFlagSplit = 4;      // extents of 2^31 entries (2^30 when 16-bit)

struct CompressedFile;  // an open compressed file's header record
struct CacheBlock;      // a cached 8192-byte block

struct TbDescriptor {
  int32_t id;
  int32_t flags;
  TbIndexFn indexFn[2];  // [0] first side to move, [1] second side to move
  char name[8];          // "k" + first side's men + "k" + second side's men
  int64_t length[2];     // entries stored per side

  // Run time: owned by registration, the cache and the probe; all null at start.
  char* fileName[2][TB_MAX_EXTENTS];
  FILE* file[2][TB_MAX_EXTENTS];
  CompressedFile* decoder[2][TB_MAX_EXTENTS];
  CacheBlock** cacheBuckets[2];  // 32 bucket heads per side
};

extern TbDescriptor tbDescriptors[TB_TABLE_COUNT];

// Number of extent files of one side: 1 unless split; a split side has
// (length >> 31) + 1, or (length >> 30) + 1 when 16-bit.
int tbExtentCount(const TbDescriptor& d, int side);
