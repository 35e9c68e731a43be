// Compressed tablebase files: the header reader and the block index.
//
// File layout (numbers big-endian, bit streams most significant bit first):
//   0..63    banner (not interpreted: the header checksum covers it)
//   64       H, bytes of the whole header including its trailing checksum (>= 84)
//   68       2 bytes, not interpreted
//   70       B, log2 of the block size (<= 16; registration wants 13)
//   71       number of match distances, 24
//   72       N, number of blocks (>= 1)
//   76       the bytes 0, 64, 1, 245
//   80       N pairs of 32-bit block checksums (not verified)
//   80 + 8N  N + 25 values of B bits: the compressed size of each block, the
//            decoded size of the last block, the 24 match distances; a size of
//            0 means 2^B
//   next byte boundary .. H - 4: the code lengths of the 1024-symbol alphabet
//   H - 4    datacompCrc of bytes 0 .. H - 5
//   H        the compressed blocks, block 0 first, without gaps
// A block whose compressed size equals its decoded size is stored raw.
#pragma once

#include <cstdint>
#include <cstdio>

#include "tablebases/decode_table.h"

constexpr int TB_HEADER_FIXED_BYTES = 80;
constexpr int TB_HEADER_MIN_BYTES = 84;  // the fixed part and the checksum
constexpr int TB_MATCH_DISTANCES = 24;
constexpr int TB_MAX_BLOCK_BITS = 16;
constexpr int TB_BLOCK_GROUP = 16;       // blocks per stored base offset
constexpr int TB_BLOCK_GROUP_HALF = 8;   // bit 3 of a block index picks the base
constexpr uint32_t TB_DELTA_LIMIT = 0xFFFF;

// One opened compressed extent, held by the descriptor's decoder slot and freed
// with freeCompressedFile as one allocation.
//
// Block index: base[g] is the file offset of block 16 g (the last base,
// index N / 16 + 1, is the end of the data); block i lies at base[i / 16] +
// delta[i] when bit 3 of i is clear, else at base[i / 16 + 1] - delta[i];
// delta[N] places the end. When some delta does not fit 16 bits (eight raw
// blocks of 8192 in a group's second half) the index is widened instead:
// wideOffset holds all N + 1 offsets and base and delta are null.
struct CompressedFile {
  int16_t decodeTable[TB_BLOCK_TABLE_SLOTS];
  int32_t distances[TB_MATCH_DISTANCES];
  int32_t blockBits;
  int32_t blockSize;
  int32_t lastBlockSize;
  int32_t blockCount;
  int64_t* base;
  uint16_t* delta;
  int64_t* wideOffset;
};

// Reads and checks the header of an open file (read from its start) and builds
// the record. Returns 0 and sets *result, or an error value (tb_error.h) and
// leaves *result null. The file stays open.
int32_t openCompressedFile(FILE* file, CompressedFile** result);

void freeCompressedFile(CompressedFile* file);

// File offset of block i (0..N; block N is the end of the data).
int64_t compressedBlockOffset(const CompressedFile& file, int64_t block);

// Decoded size of block i (0..N-1).
int32_t compressedBlockDecodedSize(const CompressedFile& file, int64_t block);
