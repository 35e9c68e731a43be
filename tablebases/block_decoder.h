// Reading and expanding one block of a compressed tablebase file.
//
// Block stream: symbols of the file's 1024-symbol code until the block is
// full. A symbol s < 256 is the byte s; s >= 256 is a match: t = s - 256, the
// distance is the file's distance t / 32, the length code c = t % 32 gives a
// length of c + 1 for c <= 14, else 14 + 2^x + (x further bits) with
// x = c - 14. A match copies byte by byte from that distance back, so a
// distance shorter than the length repeats what was just written.
#pragma once

#include <cstdint>
#include <cstdio>

#include "tablebases/bit_reader.h"
#include "tablebases/compressed_file.h"

constexpr uint32_t DECODE_BLOCK_TAG = 0x79A3F29D;
constexpr int32_t TB_DECODE_BLOCK_SIZE = 8192;
constexpr int TB_INPUT_PADDING = 4;  // zero bytes behind the input for the reader's look-ahead

// Errors of allocDecodeBlock.
constexpr int32_t DECODE_BLOCK_NO_RESULT = 225287;   // no place for the result (check 880)
constexpr int32_t DECODE_BLOCK_NO_MEMORY = 226053;   // memory could not be had (check 883)
constexpr int32_t DECODE_BLOCK_BAD_SIZE = 226823;    // unusable block size (check 886)

// The work record of one block read: the input buffer for the compressed
// bytes (blockSize bytes plus zero padding) and the output area the block is
// expanded into.
struct DecodeBlock {
  uint32_t tag;            // DECODE_BLOCK_TAG while the record is valid
  int32_t blockSize;       // capacity of the input and output areas
  int64_t blockIndex;      // block last read, -1 when none
  int32_t decodedSize;
  int32_t compressedSize;
  bool complete;           // the output already holds the whole block (a raw block)
  uint8_t* output;
  uint8_t* input;
};

// The one decode record of the process; allocated by initTablebases once
// compressed files exist.
extern DecodeBlock* decodeBlockShared;

// Allocates a record for blocks of blockSize bytes (a power of two up to
// 2^16). Returns 0 or one of the DECODE_BLOCK_* errors.
int32_t allocDecodeBlock(int32_t blockSize, DecodeBlock** result);
void freeDecodeBlock(DecodeBlock* record);

// Forgets the block last read and sets the output area (blockSize bytes).
void initDecodeBlock(DecodeBlock* record, uint8_t* output);

// Reads the compressed bytes of block i; a raw block is copied to the output
// at once. Sets the record's decoded and compressed sizes.
int32_t readCompressedBlock(DecodeBlock* record, const CompressedFile* file, FILE* stream,
                            int64_t block);

// Expands the block last read into the output, up to size bytes
// (1..decoded size).
int32_t decodeBlock(DecodeBlock* record, const CompressedFile* file, int32_t size);

// Expands a block stream of inputSize bytes into size bytes of output. A
// stream that ends early, a distance before the block's start or a distance
// of 0 make the block broken.
int32_t expandBlock(const CompressedFile& file, const uint8_t* input, int32_t inputSize,
                    uint8_t* output, int32_t size);

// The match length of length code c (0..31), taking its extra bits.
uint32_t decodeMatchLength(BitReader& r, int lengthCode);
