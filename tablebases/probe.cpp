#include "tablebases/probe.h"

#include <cassert>

#include "tablebases/block_cache.h"
#include "tablebases/material_tree.h"

const int32_t probePieceKind[TB_PIECE_CODES] = {-1, 9, 8, 7, 6, 5, -1, 0, 1, 2, 3, 4, -1};

int32_t tbhits = 0;

namespace {

constexpr int WHITE_KING_CODE = 12;
constexpr int BLACK_KING_CODE = 0;
constexpr int KIND_COUNT = 2 * TB_KINDS_PER_SIDE;

// Table 36 ("kppkp"), side 1: seven entries that answer without a read.
constexpr int KPPKP_ID = 36;
constexpr uint64_t kppkpFixedIndex[] = {56802428, 56811076, 56849992, 56858640, 59592489, 67775659, 71071628};
constexpr int32_t KPPKP_FIXED_VALUE = -32639;

// 8-bit entries widened to the 16-bit scale.
constexpr int32_t BYTE_VALUE_BASE = 32640;
constexpr int32_t BYTE_UNKNOWN = 127;
constexpr int32_t BYTE_LONGEST_LOSS = -127;
constexpr int32_t BYTE_LONGEST_WIN = -128;

constexpr int ENTRIES_PER_BLOCK_8 = 8192;  // block i >> 13, byte i & 8191
constexpr int ENTRIES_PER_BLOCK_16 = 4096; // block i >> 12, bytes 2 (i & 4095) and + 1

// Stored value v -> score: 32767 - v for a win, -v - 32768 for a loss.
constexpr int32_t WIN_SCORE_BASE = 32767;
constexpr int32_t LOSS_SCORE_BASE = -32768;

int32_t widenByte(int32_t c) {
  if (c == 0) return 0;
  if (c == BYTE_UNKNOWN) return TB_VALUE_UNKNOWN;
  if (c == BYTE_LONGEST_LOSS) return -BYTE_VALUE_BASE;
  if (c == BYTE_LONGEST_WIN) return BYTE_VALUE_BASE;
  return c > 0 ? c + BYTE_VALUE_BASE : c - BYTE_VALUE_BASE;
}

}  // namespace

int tablebaseRegistered(int id, int side) {
  assert(id >= 1 && id <= TB_MAX_ID && (side == 0 || side == 1));
  const TbDescriptor& d = tbDescriptors[id];
  if (d.flags & tbFlagSymmetric) side = 0;
  const int extents = tbExtentCount(d, side);
  for (int e = 0; e < extents && e < TB_MAX_EXTENTS; e++)
    if (d.fileName[side][e]) return 1;
  return 0;
}

TbIndexFn tablebaseIndexFn(int id, int side) {
  assert(id >= 1 && id <= TB_MAX_ID && (side == 0 || side == 1));
  return tbDescriptors[id].indexFn[side];
}

int32_t tablebaseValue(int id, int side, uint64_t index) {
  assert(id >= 1 && id <= TB_MAX_ID && (side == 0 || side == 1));
  const TbDescriptor& d = tbDescriptors[id];
  if (d.flags & tbFlagSymmetric) side = 0;
  if (tbCacheCount == 0 || !d.cacheBuckets[side]) return TB_VALUE_UNKNOWN;
  // An index beyond the side's entries has nothing stored: no read, and no
  // reason to drop a healthy extent.
  if (index >= static_cast<uint64_t>(d.length[side])) return TB_VALUE_UNKNOWN;

  if (d.flags & tbFlag16Bit) {
    const int64_t block = static_cast<int64_t>(index / ENTRIES_PER_BLOCK_16);
    const int32_t offset = 2 * static_cast<int32_t>(index % ENTRIES_PER_BLOCK_16);
    const int32_t lo = readCachedValue(id, side, block, offset);
    if (lo == TB_VALUE_UNKNOWN) return TB_VALUE_UNKNOWN;
    const int32_t hi = readCachedValue(id, side, block, offset + 1);
    if (hi == TB_VALUE_UNKNOWN) return TB_VALUE_UNKNOWN;
    return hi * 256 + (lo & 0xFF);
  }
  if (id == KPPKP_ID && side == 1)
    for (uint64_t fixed : kppkpFixedIndex)
      if (index == fixed) return KPPKP_FIXED_VALUE;
  const int64_t block = static_cast<int64_t>(index / ENTRIES_PER_BLOCK_8);
  const int32_t offset = static_cast<int32_t>(index % ENTRIES_PER_BLOCK_8);
  const int32_t c = readCachedValue(id, side, block, offset);
  return c == TB_VALUE_UNKNOWN ? TB_VALUE_UNKNOWN : widenByte(c);
}

int tbProbe(const uint8_t* board, int side, int epSquare, int* score) {
  assert(board && score);
  if (epSquare < 0 || epSquare >= TB_BOARD_SQUARES) return 0;
  // 1: the men of each kind, and both kings exactly once. A byte that is no
  // piece code, a missing or doubled king, or more men of a kind than a table
  // has slots for is no table's position.
  MaterialCounts counts = {};
  int whiteKings = 0, blackKings = 0;
  for (int sq = 0; sq < TB_BOARD_SQUARES; sq++) {
    const int code = board[sq];
    if (code >= TB_PIECE_CODES) return 0;
    if (code == WHITE_KING_CODE) whiteKings++;
    if (code == BLACK_KING_CODE) blackKings++;
    const int k = probePieceKind[code];
    if (k >= 0 && ++counts.count[k] > TB_SLOTS_PER_KIND) return 0;
  }
  if (whiteKings != 1 || blackKings != 1) return 0;

  // 2: the table.
  int id = lookupMaterial(counts);
  if (id == 0) return 0;

  // 3: square arrays, men of a kind in square order.
  TbSideSquares white, black;
  int placed[KIND_COUNT] = {};
  for (int sq = 0; sq < TB_BOARD_SQUARES; sq++) {
    const int code = board[sq];
    if (code == WHITE_KING_CODE) white[TB_KING_SLOT] = sq;
    if (code == BLACK_KING_CODE) black[TB_KING_SLOT] = sq;
    const int k = probePieceKind[code];
    if (k < 0) continue;
    int32_t* squares = k < TB_KINDS_PER_SIDE ? white : black;
    squares[TB_SLOTS_PER_KIND * (k % TB_KINDS_PER_SIDE) + placed[k]++] = sq;
  }

  // 4: which of the table's sides the position's colours are.
  const bool whiteToMove = side > 0;
  const int32_t* first = white;
  const int32_t* second = black;
  int invert = 0;
  int tableSide = whiteToMove ? 0 : 1;
  if (id < 0) {
    id = -id;
    first = black;
    second = white;
    invert = 1;
    tableSide = whiteToMove ? 1 : 0;
  }

  // 5-8: the entry.
  if (!tablebaseRegistered(id, tableSide)) return 0;
  TbIndexFn indexFn = tablebaseIndexFn(id, tableSide);
  if (!indexFn) return 0;
  const int32_t ep = epSquare == 0 ? TB_NO_EP : epSquare;
  const uint64_t index = indexFn(first, second, ep, invert);
  const int32_t v = tablebaseValue(id, tableSide, index);
  if (v == TB_VALUE_UNKNOWN) return 0;

  // 9: the score.
  *score = v > 0 ? WIN_SCORE_BASE - v : v == 0 ? 0 : -v + LOSS_SCORE_BASE;
  tbhits++;
  return 1;
}
